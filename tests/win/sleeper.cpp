// Test helper: "sleeper [...] MS EXITCODE" sleeps, then ends with the code. Copied
// under another name it is a planted program: it only leaves NAME.ran beside itself.
// "sleeper" alone: a service that takes 1.5 s to start.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

SERVICE_STATUS_HANDLE status = nullptr;
HANDLE stopped = CreateEventA(nullptr, TRUE, FALSE, nullptr);

void report(DWORD state) {
  SERVICE_STATUS s{SERVICE_WIN32_OWN_PROCESS, state, state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0u};
  SetServiceStatus(status, &s);
}

void WINAPI serviceMain(DWORD, LPSTR*) {
  status = RegisterServiceCtrlHandlerA("", [](DWORD control) {
    if (control == SERVICE_CONTROL_STOP) SetEvent(stopped);
  });
  report(SERVICE_START_PENDING);
  Sleep(1500);
  report(SERVICE_RUNNING);
  WaitForSingleObject(stopped, INFINITE);
  report(SERVICE_STOPPED);
}

}  // namespace

int main(int argc, char** argv) {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  const char* name = std::strrchr(self, '\\');
  if (name && _stricmp(name + 1, "sleeper.exe") != 0) {
    CloseHandle(CreateFileA((std::string(self) + ".ran").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                            nullptr));
    return 0;
  }
  if (argc < 3) {
    SERVICE_TABLE_ENTRYA table[] = {{const_cast<char*>(""), serviceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 2;
  }
  Sleep(static_cast<DWORD>(std::atol(argv[argc - 2])));
  return std::atoi(argv[argc - 1]);
}
