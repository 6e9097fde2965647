// A program for the engine to watch: runs until ended; named "quick...", ends at once.
#include <windows.h>

#include <cstring>

int main() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (_strnicmp(std::strrchr(path, '\\') + 1, "quick", 5) == 0) return 3;
  Sleep(INFINITE);
}
