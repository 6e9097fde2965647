// A program for the engine benchmarks to watch, without a window; built as
// bench_item (no console) and bench_console_item (a console program, which
// the engine starts with a console of its own, as Windows does). Named "crash..." or "churn..." it ends at
// once with code 3, after adding a line "created ended" (microseconds of the system clock) to NAME.times
// beside itself; any other copy sleeps until it is ended.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

long long microseconds(const FILETIME& t) {
  return static_cast<long long>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) /
         10;
}

}  // namespace

int main() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  const char* name = std::strrchr(path, '\\') + 1;
  if (_strnicmp(name, "crash", 5) != 0 && _strnicmp(name, "churn", 5) != 0) Sleep(INFINITE);
  FILETIME created{}, exited{}, kernel{}, user{}, now{};
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  GetSystemTimePreciseAsFileTime(&now);
  char line[64];
  const int n = std::snprintf(line, sizeof line, "%lld %lld\r\n", microseconds(created), microseconds(now));
  HANDLE file = CreateFileA((std::string(path) + ".times").c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, line, static_cast<DWORD>(n), &written, nullptr);
  CloseHandle(file);
  return 3;
}
