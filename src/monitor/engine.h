#pragma once
// The monitor engine, shared by the engine program and the engine service:
// watches the items of processes.ob and carries out the stop actions of
// settings.ob, reading either file again whenever it changes.
#include <windows.h>

#include <functional>
#include <string>

namespace monitor {

struct EngineOptions {
  std::string folder;       // holds processes.ob, settings.ob and log.text
  bool playsSound = false;  // the program plays the sound; a service cannot
};

// The named lock of the restart duty. Only the engine that holds it restarts,
// logs and sends e-mails; another engine (the program beside the service)
// watches without acting and takes the duty over when the holder ends.
inline constexpr char kDutyLockName[] = "Global\\BrennixMonitor.RestartDuty";

// Runs the engine until `stop` (an event) is signalled. `running`, when
// given, is called once the engine has started, so that a caller can report
// it. Returns NO_ERROR when the engine stopped as asked, otherwise the
// system error code that ended it.
DWORD runEngine(HANDLE stop, const EngineOptions& options, const std::function<void()>& running = {});

}  // namespace monitor
