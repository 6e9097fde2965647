#include "e2e/engine_stage.h"

#include "win/process_list.h"

namespace e2e {
namespace {

std::string testProgram() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string own = path;
  return own.substr(0, own.find_last_of('\\')) + "\\monitored.exe";
}

}  // namespace

EngineStage::~EngineStage() {
  stopEngines();
  engines.clear();
  for (const auto& name : programs_) endInstances(name);
}

std::string EngineStage::addProgram(const std::string& name) {
  if (!CopyFileA(testProgram().c_str(), file(name).c_str(), FALSE))
    throw std::runtime_error("cannot copy the test program as " + name);
  programs_.push_back(name);
  return file(name);
}

void EngineStage::writeItems(const std::vector<std::string>& items) const {
  std::string bytes = " \r\n";
  for (const auto& item : items) bytes += item + "\r\n";
  write("processes.ob", bytes);
}

void EngineStage::writeSettings(const formats::Settings& settings) const {
  formats::writeSettings(file("settings.ob"), settings);
}

Process& EngineStage::startEngine() {
  engines.push_back(Process::start(file("BrennixMonitor.exe")));
  return engines.back();
}

void EngineStage::stopEngines() {
  bool running = false;
  for (const auto& engine : engines) running |= engine.running();
  if (running) Process::start(file("shutdownBrennixMonitor.exe")).waitForExit(10s);
}

std::string EngineStage::log() const { return exists("log.text") ? read("log.text") : std::string(); }

bool EngineStage::waitForLog(const std::string& text, Duration timeout) const {
  return waitUntil([&] { return log().find(text) != std::string::npos; }, timeout);
}

int EngineStage::logCount(const std::string& text) const {
  const std::string all = log();
  int count = 0;
  for (auto at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) ++count;
  return count;
}

formats::Settings restartAndLog(const std::string& delaySeconds) {
  formats::Settings s;
  s.restart = formats::Slot::number(1);
  s.restartSeconds = formats::Slot::text(delaySeconds);
  s.log = formats::Slot::text("1");
  s.sendEmail = formats::Slot::number(0);
  return s;
}

std::vector<DWORD> instancesOf(const std::string& image) {
  std::vector<DWORD> ids;
  win::forEachProcess([&](const PROCESSENTRY32& p) {
    if (_stricmp(p.szExeFile, image.c_str()) == 0) ids.push_back(p.th32ProcessID);
    return true;
  });
  return ids;
}

void endInstances(const std::string& image) {
  for (DWORD id : instancesOf(image)) {
    win::unique_handle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
    if (process && TerminateProcess(process.get(), 1)) WaitForSingleObject(process.get(), 5000);
  }
}

}  // namespace e2e
