#pragma once
// How the stopper reaches the engine programs: each engine program makes a
// named manual-reset event of the session's namespace, named after its own
// process id, and waits on it. The stopper sets the event of every engine
// program it finds; the request holds until that engine ends, however long
// it is busy, and an engine started later has an event of its own.
#include <string>

namespace monitor {
inline std::string shutdownEventName(unsigned long processId) {
  return "BrennixMonitor.Shutdown." + std::to_string(processId);
}
// How long the stopper waits for the engines to end, in milliseconds.
inline constexpr unsigned kStopWaitMs = 5000;
}  // namespace monitor
