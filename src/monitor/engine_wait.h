#pragma once
// The engine's one wait: on its own events and, directly, on as many of the
// watched processes as a single wait of the system takes, so that the end of
// one wakes the engine itself. Those beyond are waited on from the system's
// thread pool, which marks them ended and sets the wake event. Each thread
// costs memory (about a megabyte under Wine), and a direct wait also spares
// the restart a hand-over from one thread to another.
#include <windows.h>

#include <vector>

#include "monitor/item_watch.h"

namespace monitor {

struct WaitOutcome {
  // The event that was set; the wake event also when a process waited on
  // directly has ended (it is marked so). Null when the wait timed out or failed.
  HANDLE signalled = nullptr;
  DWORD error = NO_ERROR;  // why the wait failed
};

// Waits up to `timeoutMs` on `events` (the stop event first, the wake event
// second, then the others in order of precedence) and the processes of
// `items`; with `messages`, it also dispatches the messages of the thread's
// windows as they come (the end of the session sets the events it waits on,
// and the engine's stop). A process that cannot be
// waited on either way is no longer watched (the walks find it again).
WaitOutcome waitForEvents(const std::vector<HANDLE>& events, Items& items, DWORD timeoutMs, bool messages);

}  // namespace monitor
