// Test helper: "sleeper [...] MS EXITCODE" sleeps, then ends with the code. Copied
// under another name it is a planted program: it only leaves NAME.ran beside itself.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  const char* name = std::strrchr(self, '\\');
  if (name && _stricmp(name + 1, "sleeper.exe") != 0) {
    CloseHandle(CreateFileA((std::string(self) + ".ran").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                            nullptr));
    return 0;
  }
  if (argc < 3) return 2;
  Sleep(static_cast<DWORD>(std::atol(argv[argc - 2])));
  return std::atoi(argv[argc - 1]);
}
