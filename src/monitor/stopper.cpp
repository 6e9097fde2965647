// Tells every running engine program of this session to end, and returns
// when they have ended or after a few seconds; an engine still busy then
// ends as soon as it is free, as its request stays set.
#include <windows.h>

#include <vector>

#include "base/text.h"
#include "control/engine_programs.h"
#include "monitor/engine_signal.h"
#include "win/process_list.h"
#include "win/unique_resource.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::vector<win::unique_handle> engines;
  win::forEachProcess([&](const PROCESSENTRY32& p) {
    if (!base::equalsIgnoringCase(p.szExeFile, control::kEngineProgram)) return true;
    // Without its event the engine is not of this session, or not yet waiting.
    win::unique_handle shutdown(
        OpenEventA(EVENT_MODIFY_STATE, FALSE, monitor::shutdownEventName(p.th32ProcessID).c_str()));
    if (shutdown && SetEvent(shutdown.get()))
      if (win::unique_handle process(OpenProcess(SYNCHRONIZE, FALSE, p.th32ProcessID)); process)
        engines.push_back(std::move(process));
    return true;
  });
  const ULONGLONG until = GetTickCount64() + monitor::kStopWaitMs;
  for (const auto& engine : engines) {
    const ULONGLONG now = GetTickCount64();
    WaitForSingleObject(engine.get(), now < until ? static_cast<DWORD>(until - now) : 0);
  }
  return 0;
}
