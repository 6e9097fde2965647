#include "e2e/driver.h"

#include <algorithm>
#include <stdexcept>

#include "win/process_list.h"

namespace e2e {
namespace {

void copyFolder(const std::string& from, const std::string& to, const char* except) {
  WIN32_FIND_DATAA data{};
  win::unique_find search(FindFirstFileA((from + "\\*").c_str(), &data));
  if (!search) throw std::runtime_error("cannot read " + from);
  do {
    const std::string name = data.cFileName;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || _stricmp(name.c_str(), except) == 0) continue;
    if (!CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE))
      throw std::runtime_error("cannot copy " + name);
  } while (FindNextFileA(search.get(), &data));
}

// The processes that `match` the program's file name or full path; ended when asked.
std::vector<DWORD> forProcesses(const std::function<bool(const PROCESSENTRY32&)>& match, bool end) {
  std::vector<DWORD> ids;
  win::forEachProcess([&](const PROCESSENTRY32& p) {
    if (!match(p)) return true;
    ids.push_back(p.th32ProcessID);
    win::unique_handle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, p.th32ProcessID));
    if (end && process && TerminateProcess(process.get(), 1)) WaitForSingleObject(process.get(), 5000);
    return true;
  });
  return ids;
}
std::vector<DWORD> forProcessesNamed(const std::string& name, bool end) {
  return forProcesses([&](const PROCESSENTRY32& p) { return _stricmp(p.szExeFile, name.c_str()) == 0; }, end);
}

win::unique_schandle openEngineService(DWORD access) {
  win::unique_schandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  return win::unique_schandle(OpenServiceA(manager.get(), "BrennixMonitor", access));
}

}  // namespace

std::string builtAppFolder() {
  std::string folder = BRENNIX_APP_DIR;
  if (!folder.empty() && folder[0] == '/') folder = "Z:" + folder;  // a Unix path under Wine
  std::replace(folder.begin(), folder.end(), '/', '\\');
  return folder;
}

void pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

bool waitUntil(const std::function<bool()>& done, Duration timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    pump();
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

void pumpFor(Duration time) {
  waitUntil([] { return false; }, time);
}

AppFolder::AppFolder(bool withServiceInstaller) : TempFolder("Brennix App") {
  copyFolder(builtAppFolder(), path(), withServiceInstaller ? "" : "nssm.exe");
}

AppFolder::~AppFolder() { endProcessesFrom(path()); }

std::string imageOf(DWORD processId) {
  win::unique_handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  char path[MAX_PATH];
  DWORD size = MAX_PATH;
  return process && QueryFullProcessImageNameA(process.get(), 0, path, &size) ? std::string(path, size) : "";
}

void endProcessesFrom(const std::string& folder) {
  forProcesses(
      [&](const PROCESSENTRY32& p) {
        return _strnicmp(imageOf(p.th32ProcessID).c_str(), (folder + "\\").c_str(), folder.size() + 1) == 0;
      },
      true);
}

std::vector<DWORD> processIdsNamed(const std::string& name) { return forProcessesNamed(name, false); }
int processesNamed(const std::string& name) {
  return static_cast<int>(forProcessesNamed(name, false).size());
}
int endProcessesNamed(const std::string& name) {
  return static_cast<int>(forProcessesNamed(name, true).size());
}

SERVICE_STATUS_PROCESS engineServiceStatus() {
  SERVICE_STATUS_PROCESS s{};
  DWORD needed = 0;
  QueryServiceStatusEx(openEngineService(SERVICE_QUERY_STATUS).get(), SC_STATUS_PROCESS_INFO,
                       reinterpret_cast<BYTE*>(&s), sizeof s, &needed);
  return s;
}

bool engineServiceReaches(DWORD state, Duration timeout) {
  return waitUntil([&] { return engineServiceStatus().dwCurrentState == state; }, timeout);
}

void removeEngineService() {
  auto service = openEngineService(SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
  SERVICE_STATUS s;
  if (ControlService(service.get(), SERVICE_CONTROL_STOP, &s)) engineServiceReaches(SERVICE_STOPPED);
  if (DeleteService(service.get())) engineServiceReaches(0);
}

Process Process::start(const std::string& program, const std::string& arguments) {
  std::string commandLine = "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi))
    throw std::runtime_error("cannot start " + program + ": error " + std::to_string(GetLastError()));
  win::unique_handle thread(pi.hThread);
  Process p;
  p.handle_.reset(pi.hProcess);
  p.id_ = pi.dwProcessId;
  return p;
}

bool Process::running() const { return handle_ && WaitForSingleObject(handle_.get(), 0) == WAIT_TIMEOUT; }

bool Process::waitForExit(Duration timeout) const {
  return waitUntil([this] { return !running(); }, timeout);
}

DWORD Process::exitCode() const {
  DWORD code = 0;
  GetExitCodeProcess(handle_.get(), &code);
  return code;
}

void Process::kill() {
  if (!running()) return;
  TerminateProcess(handle_.get(), 1);
  WaitForSingleObject(handle_.get(), 5000);
}

}  // namespace e2e
