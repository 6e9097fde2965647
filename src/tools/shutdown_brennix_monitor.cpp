// Tells every running engine program of this session to end, and returns
// when they have ended or after a few seconds.
#include <windows.h>

#include <string_view>

#include "base/process_list.h"
#include "base/text.h"
#include "base/unique_resource.h"
#include "engine/engine_programs.h"
#include "tools/engine_signal.h"

namespace {

bool engineRunning() {
  bool found = false;
  base::forEachProcess([&](const PROCESSENTRY32& p) {
    found = base::equalsIgnoringCase(p.szExeFile, engine::kEngineProgram);
    return !found;
  });
  return found;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Without the event no engine of this session is waiting for it.
  base::unique_handle shutdown(OpenEventA(EVENT_MODIFY_STATE, FALSE, tools::kShutdownEventName));
  if (!shutdown) return 0;
  SetEvent(shutdown.get());
  const DWORD start = GetTickCount();
  while (engineRunning() && GetTickCount() - start < tools::kStopWaitMs) Sleep(50);
  // An engine started after this stop must not end at once.
  ResetEvent(shutdown.get());
  return 0;
}
