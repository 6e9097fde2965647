// The engine run as the Windows service. The Service Control Manager starts
// it; it reports itself running as soon as it is up, runs the engine until it
// is stopped or the system shuts down (then it first tells the engine that
// Windows is ending, so that nothing more is started), and reports its end, with a further
// step of STOP_PENDING every second while the engine finishes (an e-mail
// under way may take up to a minute). "BrennixMonitorsrv.exe -debug" runs the
// same engine in the console, outside the Service Control Manager, until
// Ctrl+C.
#include <windows.h>

#include <clocale>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "base/text.h"
#include "control/engine_programs.h"
#include "monitor/engine.h"
#include "win/error.h"
#include "win/files.h"
#include "win/unique_resource.h"

namespace {

// The longest a single step of the start or the stop should take.
constexpr DWORD kPendingWaitHintMs = 3000;
// How often a stop under way reports its next step.
constexpr DWORD kStopStepMs = 1000;

// What the service tells the Service Control Manager about itself. The
// service's thread and the control handler both report, so each report is
// made whole under a lock, and nothing follows SERVICE_STOPPED.
class StatusReporter {
 public:
  void attach(SERVICE_STATUS_HANDLE handle) { handle_ = handle; }

  void report(DWORD state, DWORD exitCode = NO_ERROR) {
    std::lock_guard lock(mutex_);
    if (status_.dwCurrentState == SERVICE_STOPPED) return;
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    status_.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status_.dwCurrentState = state;
    status_.dwControlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_PRESHUTDOWN
                                 : 0;
    status_.dwWin32ExitCode = exitCode;
    status_.dwServiceSpecificExitCode = 0;
    // Each report of a pending state is one step further; other states have none.
    status_.dwCheckPoint = pending ? status_.dwCheckPoint + 1 : 0;
    status_.dwWaitHint = pending ? kPendingWaitHintMs : 0;
    SetServiceStatus(handle_, &status_);
  }

 private:
  std::mutex mutex_;
  SERVICE_STATUS_HANDLE handle_ = nullptr;
  SERVICE_STATUS status_{};
};

// The one service of this process. It lives as long as the process, as the
// control handler may be called until the process ends.
struct Service {
  std::string name{control::kServiceName};
  StatusReporter status;
  win::unique_handle stop;    // set when the engine is to stop
  win::unique_handle ending;  // set when Windows shuts down
};
Service service;

// The service's engine: the folder of its program, no sound.
monitor::EngineOptions engineOptions() {
  return {win::appFolder(), monitor::EngineKind::Service, service.ending.get()};
}

DWORD WINAPI controlHandler(DWORD control, DWORD, void*, void* context) {
  auto& self = *static_cast<Service*>(context);
  switch (control) {
    case SERVICE_CONTROL_PRESHUTDOWN:
    case SERVICE_CONTROL_SHUTDOWN:
      SetEvent(self.ending.get());
      [[fallthrough]];
    case SERVICE_CONTROL_STOP:
      // STOP_PENDING goes out before the engine can end and report STOPPED.
      self.status.report(SERVICE_STOP_PENDING);
      SetEvent(self.stop.get());
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI serviceMain(DWORD argc, LPSTR* argv) {
  auto& self = service;
  // The name it was started under: the service may be installed under another.
  if (argc > 0 && argv[0]) self.name = argv[0];
  SERVICE_STATUS_HANDLE handle = RegisterServiceCtrlHandlerExA(self.name.c_str(), controlHandler, &self);
  if (!handle) return;
  self.status.attach(handle);
  self.status.report(SERVICE_START_PENDING);
  self.stop.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  self.ending.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!self.stop || !self.ending) {
    self.status.report(SERVICE_STOPPED, GetLastError());
    return;
  }
  self.status.report(SERVICE_RUNNING);
  // Once asked to stop, a step every second until the engine has ended.
  win::unique_handle ended(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  std::thread steps([&] {
    const HANDLE both[] = {self.stop.get(), ended.get()};
    if (WaitForMultipleObjects(2, both, FALSE, INFINITE) != WAIT_OBJECT_0) return;
    while (WaitForSingleObject(ended.get(), kStopStepMs) == WAIT_TIMEOUT)
      self.status.report(SERVICE_STOP_PENDING);
  });
  const DWORD result = monitor::runEngine(self.stop.get(), engineOptions());
  SetEvent(ended.get());
  steps.join();
  self.status.report(SERVICE_STOPPED, result);
}

BOOL WINAPI consoleHandler(DWORD event) {
  if (event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) SetEvent(service.ending.get());
  SetEvent(service.stop.get());
  return TRUE;
}

int runInConsole() {
  service.stop.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  service.ending.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!service.stop || !service.ending) return 1;
  SetConsoleCtrlHandler(consoleHandler, TRUE);
  const DWORD result = monitor::runEngine(service.stop.get(), engineOptions(), [] {
    std::puts("Brennix Monitor engine running; Ctrl+C stops it.");
    std::fflush(stdout);
  });
  std::puts("Brennix Monitor engine stopped.");
  return result == NO_ERROR ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_CTYPE, "");  // names compare as Windows compares them
  if (argc == 2 && base::equalsIgnoringCase(argv[1], "-debug")) return runInConsole();

  std::string ownProcessService(control::kServiceName);  // one service per process: any name serves
  SERVICE_TABLE_ENTRYA table[] = {{ownProcessService.data(), serviceMain}, {nullptr, nullptr}};
  if (StartServiceCtrlDispatcherA(table)) return 0;
  const DWORD error = GetLastError();
  if (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
    std::fputs(
        "BrennixMonitorsrv.exe is the program of the Brennix Monitor service and is started by\n"
        "the Service Control Manager; \"BrennixMonitorsrv.exe -debug\" runs it in this console.\n",
        stderr);
  } else {
    std::fprintf(stderr, "BrennixMonitorsrv.exe: %s (error %lu)\n", win::describeError(error).c_str(), error);
  }
  return 1;
}
