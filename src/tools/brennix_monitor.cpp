// The engine run as an ordinary program. It shows no window and runs until
// the stopper sets the shutdown event.
#include <windows.h>

#include "base/unique_resource.h"
#include "tools/engine_signal.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  base::unique_handle shutdown(CreateEventA(nullptr, TRUE, FALSE, tools::kShutdownEventName));
  if (!shutdown) return 1;
  WaitForSingleObject(shutdown.get(), INFINITE);
  return 0;
}
