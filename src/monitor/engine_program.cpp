// The engine run as an ordinary program. It shows no window and runs until
// the stopper sets its shutdown event. Unlike the service it can play the
// stop sound.
#include <windows.h>

#include <clocale>

#include "monitor/engine.h"
#include "monitor/engine_signal.h"
#include "win/files.h"
#include "win/unique_resource.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::setlocale(LC_CTYPE, "");  // names compare as Windows compares them
  win::unique_handle shutdown(
      CreateEventA(nullptr, TRUE, FALSE, monitor::shutdownEventName(GetCurrentProcessId()).c_str()));
  if (!shutdown) return 1;
  const monitor::EngineOptions options{win::appFolder(), monitor::EngineKind::Program};
  return monitor::runEngine(shutdown.get(), options) == NO_ERROR ? 0 : 1;
}
