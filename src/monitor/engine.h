#pragma once
// The monitor engine, shared by the engine program and the engine service:
// watches the items of processes.ob and carries out the stop actions of
// settings.ob, reading either file again whenever it changes. Which engine
// acts for which items: see duty_policy.h.
#include <windows.h>

#include <functional>
#include <string>

#include "monitor/duty_policy.h"

namespace monitor {

struct EngineOptions {
  std::string folder;                     // holds processes.ob, settings.ob and log.text
  EngineKind kind = EngineKind::Program;  // the program also plays the sound; a service cannot
  // A manual-reset event, set while Windows is ending (a log-off or
  // shutdown): the engine starts nothing then, and goes on when it is reset.
  HANDLE ending = nullptr;
  // The engine program: its thread has a window too, whose messages the
  // engine dispatches while it waits. While the engine runs, `finishNow` holds
  // a call that finishes it at once (the e-mail under way and the log), for
  // the window to make when the session ends; the engine then returns.
  std::function<void()>* finishNow = nullptr;
};

// Runs the engine until `stop` (an event) is signalled; then it lets the
// e-mail under way finish and logs what became of the e-mails. `running`,
// when given, is called once the engine has read its files. Returns NO_ERROR
// when the engine stopped as asked, otherwise the system error code that kept
// it from starting.
DWORD runEngine(HANDLE stop, const EngineOptions& options, const std::function<void()>& running = {});

}  // namespace monitor
