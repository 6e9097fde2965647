// The engine run as an ordinary program. It shows no window and runs until
// the stopper sets its shutdown event or the session ends. Unlike the
// service it can play the stop sound.
#include <windows.h>

#include <clocale>
#include <functional>

#include "monitor/engine.h"
#include "monitor/engine_signal.h"
#include "monitor/session_end_window.h"
#include "win/files.h"
#include "win/unique_resource.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::setlocale(LC_CTYPE, "");  // names compare as Windows compares them
  win::unique_handle shutdown(
      CreateEventA(nullptr, TRUE, FALSE, monitor::shutdownEventName(GetCurrentProcessId()).c_str()));
  win::unique_handle ending(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!shutdown || !ending) return 1;
  std::function<void()> finish;  // set by the engine while it runs
  const monitor::SessionEndWindow window(ending.get(), shutdown.get(), finish);
  const monitor::EngineOptions options{win::appFolder(), monitor::EngineKind::Program, ending.get(), &finish};
  const DWORD result = monitor::runEngine(shutdown.get(), options);
  return result == NO_ERROR ? 0 : 1;
}
