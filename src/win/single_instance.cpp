#include "win/single_instance.h"

namespace win {

SingleInstance acquireSingleInstance(const char* name) {
  SingleInstance result;
  HANDLE mark = CreateMutexA(nullptr, FALSE, name);
  const DWORD error = GetLastError();
  result.mark.reset(mark);
  // When the mark cannot be made at all, the copy runs rather than refusing
  // to start.
  result.anotherRunning = mark && error == ERROR_ALREADY_EXISTS;
  return result;
}

}  // namespace win
