#pragma once
// How the stopper reaches the engine program: a named manual-reset event in
// the session's namespace. The engine waits on it; the stopper sets it, waits
// for the engine processes to end and resets it.
namespace monitor {
inline constexpr char kShutdownEventName[] = "BrennixMonitor.Shutdown";
// How long the stopper waits for the engine to end, in milliseconds.
inline constexpr unsigned kStopWaitMs = 5000;
}  // namespace monitor
