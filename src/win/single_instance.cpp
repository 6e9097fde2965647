#include "win/single_instance.h"

namespace win {

bool anotherCopyHoldsMark(bool gotHandle, DWORD error) {
  return gotHandle ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
}

SingleInstance acquireSingleInstance(const char* name) {
  SingleInstance result;
  HANDLE mark = CreateMutexA(nullptr, FALSE, name);
  const DWORD error = GetLastError();
  result.mark.reset(mark);
  result.anotherRunning = anotherCopyHoldsMark(mark != nullptr, error);
  return result;
}

}  // namespace win
