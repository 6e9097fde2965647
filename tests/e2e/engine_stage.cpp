#include "e2e/engine_stage.h"

#include <algorithm>

#include "win/process_list.h"

namespace e2e {

EngineStage::~EngineStage() {
  stopEngines();
  engines.clear();
  for (const auto& name : programs_)
    for (DWORD id : instancesOf(name)) {
      win::unique_handle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
      if (process && TerminateProcess(process.get(), 1)) WaitForSingleObject(process.get(), 5000);
    }
}

std::string EngineStage::addProgram(const std::string& name) {
  char own[MAX_PATH];
  GetModuleFileNameA(nullptr, own, MAX_PATH);
  std::string program = own;
  program = program.substr(0, program.find_last_of('\\')) + "\\monitored.exe";
  if (!CopyFileA(program.c_str(), file(name).c_str(), FALSE)) throw std::runtime_error("cannot copy " + program);
  programs_.push_back(name);
  return file(name);
}

void EngineStage::writeItems(const std::vector<std::string>& items) const {
  std::string bytes = " \r\n";
  for (const auto& item : items) bytes += item + "\r\n";
  write("processes.ob", bytes);
}

void EngineStage::writeSettings(const formats::Settings& s) const { formats::writeSettings(file("settings.ob"), s); }

Process& EngineStage::startEngine() { return engines.emplace_back(Process::start(file("BrennixMonitor.exe"))); }

void EngineStage::stopEngines() {
  if (std::any_of(engines.begin(), engines.end(), [](const Process& p) { return p.running(); }))
    Process::start(file("shutdownBrennixMonitor.exe")).waitForExit(10s);
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
  s.restart = s.log = formats::Slot::number(1);
  s.restartSeconds = formats::Slot::text(delaySeconds);
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

}  // namespace e2e
