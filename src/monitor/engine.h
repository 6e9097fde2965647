#pragma once
// The monitor engine, shared by the engine program and the engine service.
// For now it does no monitoring of its own: it runs until it is told to stop.
#include <windows.h>

#include <functional>

namespace monitor {

// Runs the engine until `stop` (an event) is signalled. `running`, when
// given, is called once the engine has started, so that a caller can report
// it. Returns NO_ERROR when the engine stopped as asked, otherwise the
// system error code that ended it.
DWORD runEngine(HANDLE stop, const std::function<void()>& running = {});

}  // namespace monitor
