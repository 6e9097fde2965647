// Test helper: sleeps MS milliseconds, then ends with EXITCODE. The two
// numbers are its last two arguments, whatever stands before them.
// Usage: sleeper [...] MS EXITCODE
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  Sleep(static_cast<DWORD>(std::atol(argv[argc - 2])));
  return std::atoi(argv[argc - 1]);
}
