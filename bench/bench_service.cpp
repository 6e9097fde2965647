// A service for the engine benchmarks to watch: it runs until it is stopped,
// under any name it is installed with.
#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE status = nullptr;
HANDLE stopped = nullptr;

void report(DWORD state) {
  SERVICE_STATUS s{};
  s.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  s.dwCurrentState = state;
  s.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  SetServiceStatus(status, &s);
}

DWORD WINAPI control(DWORD code, DWORD, void*, void*) {
  if (code == SERVICE_CONTROL_STOP) {
    report(SERVICE_STOP_PENDING);
    SetEvent(stopped);
  }
  return NO_ERROR;
}

void WINAPI serviceMain(DWORD argc, LPSTR* argv) {
  status = RegisterServiceCtrlHandlerExA(argc > 0 ? argv[0] : "", control, nullptr);
  if (!status) return;
  stopped = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  report(SERVICE_RUNNING);
  WaitForSingleObject(stopped, INFINITE);
  report(SERVICE_STOPPED);
}

}  // namespace

int main() {
  char name[] = "";
  SERVICE_TABLE_ENTRYA table[] = {{name, serviceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
