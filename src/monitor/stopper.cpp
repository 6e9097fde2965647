// Tells every running engine program of this session to end, and returns
// when they have ended or after a few seconds.
#include <windows.h>

#include <string_view>

#include "base/text.h"
#include "control/engine_programs.h"
#include "monitor/engine_signal.h"
#include "win/process_list.h"
#include "win/unique_resource.h"

namespace {

bool engineRunning() {
  bool found = false;
  win::forEachProcess([&](const PROCESSENTRY32& p) {
    found = base::equalsIgnoringCase(p.szExeFile, control::kEngineProgram);
    return !found;
  });
  return found;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Without the event no engine of this session is waiting for it.
  win::unique_handle shutdown(OpenEventA(EVENT_MODIFY_STATE, FALSE, monitor::kShutdownEventName));
  if (!shutdown) return 0;
  SetEvent(shutdown.get());
  const DWORD start = GetTickCount();
  while (engineRunning() && GetTickCount() - start < monitor::kStopWaitMs) Sleep(50);
  // An engine started after this stop must not end at once.
  ResetEvent(shutdown.get());
  return 0;
}
