#include "monitor/engine.h"

namespace monitor {

DWORD runEngine(HANDLE stop, const std::function<void()>& running) {
  if (running) running();
  if (WaitForSingleObject(stop, INFINITE) != WAIT_OBJECT_0) return GetLastError();
  return NO_ERROR;
}

}  // namespace monitor
