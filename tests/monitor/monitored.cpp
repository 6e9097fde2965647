// Test helper: a program for the engine to watch. Copied under the name the
// test needs; it runs until it is ended, unless its file name begins with
// "quick", in which case it ends at once, as a program that fails on start.
#include <windows.h>

#include <cstring>

int main() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  const char* name = std::strrchr(path, '\\');
  name = name ? name + 1 : path;
  if (_strnicmp(name, "quick", 5) == 0) return 3;
  Sleep(INFINITE);
  return 0;
}
