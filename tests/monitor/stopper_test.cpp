// The stopper really ends the engine programs, and no later one; an engine
// busy for longer than the stopper waits still ends once it is free.
#include <gtest/gtest.h>

#include "control/engine_programs.h"
#include "e2e/driver.h"
#include "monitor/engine_signal.h"

namespace {

using namespace std::chrono_literals;

// An engine is ready for the stopper once it has made its event.
bool listening(const e2e::Process& engine) {
  return static_cast<bool>(
      win::unique_handle(OpenEventA(SYNCHRONIZE, FALSE, monitor::shutdownEventName(engine.id()).c_str())));
}

TEST(EnginePrograms, TheStopperEndsEveryRunningEngineAndNoLaterOne) {
  e2e::AppFolder app;
  ASSERT_EQ(e2e::processesNamed("BrennixMonitor.exe"), 0) << "an engine of an earlier run is still up";
  auto start = [&](auto launch) { return e2e::Process::start(launch(app.path()).program); };
  auto first = start(control::engineFromStartButton), second = start(control::engineFromWatchdog);
  ASSERT_TRUE(e2e::waitUntil([&] { return listening(first) && listening(second); }));
  // The stopper returns only once the engines have gone.
  ASSERT_TRUE(start(control::stopperFromStopButton).waitForExit(10s));
  EXPECT_FALSE(first.running() || second.running());

  auto later = start(control::engineFromWatchdog);
  ASSERT_TRUE(e2e::waitUntil([&] { return listening(later); }));
  EXPECT_FALSE(later.waitForExit(300ms)) << "ended by the stop that came before it";
  // Held still as a debugger holds it, as if busy.
  ASSERT_TRUE(DebugActiveProcess(later.id()));
  DebugSetProcessKillOnExit(FALSE);
  EXPECT_TRUE(start(control::stopperFromShutDown).waitForExit(10s));
  EXPECT_TRUE(later.running());
  DebugActiveProcessStop(later.id());
  EXPECT_TRUE(later.waitForExit(2s));
}

}  // namespace
