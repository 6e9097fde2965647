#include "e2e/engine_stage.h"

#include <stdexcept>

namespace e2e {

std::string EngineStage::addProgram(const std::string& name) const {
  char own[MAX_PATH];
  const std::string self(own, GetModuleFileNameA(nullptr, own, MAX_PATH));
  const std::string program = self.substr(0, self.find_last_of('\\')) + "\\monitored.exe";
  if (!CopyFileA(program.c_str(), file(name).c_str(), FALSE))
    throw std::runtime_error("cannot copy " + program);
  return file(name);
}

void EngineStage::writeSettings(const std::string& delaySeconds,
                                const std::function<void(formats::Settings&)>& more) const {
  formats::Settings s;
  s.restart = s.log = formats::Slot::number(1);
  s.restartSeconds = formats::Slot::text(delaySeconds);
  if (more) more(s);
  formats::writeSettings(file("settings.ob"), s);
}

long long EngineStage::msFromOverToEnd(HANDLE process, const std::string& name) const {
  if (WaitForSingleObject(process, 15'000) != WAIT_OBJECT_0 || !exists(name + ".over")) return -1;
  FILETIME created, exited, kernel, user, now;
  GetProcessTimes(process, &created, &exited, &kernel, &user);
  GetSystemTimeAsFileTime(&now);
  const auto ticks = [](FILETIME t) { return (ULONGLONG{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
  // The end on the tick count's scale: now, less the time since the process ended.
  const auto endedTick = GetTickCount64() - (ticks(now) - ticks(exited)) / 10'000;
  return static_cast<long long>(endedTick - std::stoull(read(name + ".over")));
}

DWORD run(std::string commandLine, const std::string& folder) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &si, &pi))
    throw std::runtime_error("cannot run " + commandLine);
  win::unique_handle process(pi.hProcess), thread(pi.hThread);
  DWORD exitCode = 0;
  if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0 && TerminateProcess(process.get(), 1))
    throw std::runtime_error(commandLine + " did not end");
  GetExitCodeProcess(process.get(), &exitCode);
  return exitCode;
}

}  // namespace e2e
