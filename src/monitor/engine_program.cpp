// The engine run as an ordinary program. It shows no window and runs until
// the stopper sets the shutdown event.
#include <windows.h>

#include "monitor/engine.h"
#include "win/unique_resource.h"
#include "monitor/engine_signal.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  win::unique_handle shutdown(CreateEventA(nullptr, TRUE, FALSE, monitor::kShutdownEventName));
  if (!shutdown) return 1;
  return monitor::runEngine(shutdown.get()) == NO_ERROR ? 0 : 1;
}
