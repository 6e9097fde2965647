// The stopper really ends the engine program, and no later one.
#include <gtest/gtest.h>

#include "base/text.h"
#include "control/engine_programs.h"
#include "e2e/driver.h"
#include "monitor/engine_signal.h"
#include "win/process_list.h"

namespace {

using namespace std::chrono_literals;

int enginesRunning() {
  int count = 0;
  win::forEachProcess([&](const PROCESSENTRY32& p) {
    count += base::equalsIgnoringCase(p.szExeFile, "BrennixMonitor.exe");
    return true;
  });
  return count;
}

// The engine is ready for the stopper once it has made its event.
bool engineListening() {
  win::unique_handle event(OpenEventA(SYNCHRONIZE, FALSE, monitor::kShutdownEventName));
  return static_cast<bool>(event);
}

TEST(EnginePrograms, TheStopperEndsEveryRunningEngineAndNoLaterOne) {
  e2e::AppFolder app;
  ASSERT_EQ(enginesRunning(), 0) << "an engine of an earlier run is still up";
  // Without an engine the stopper returns at once.
  auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(e2e::Process::start(control::stopperFromStopButton(app.path()).program).waitForExit(10s));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);

  auto first = e2e::Process::start(control::engineFromStartButton(app.path()).program);
  auto second = e2e::Process::start(control::engineFromWatchdog(app.path()).program);
  ASSERT_TRUE(e2e::waitUntil([] { return enginesRunning() == 2 && engineListening(); }));
  for (HWND w : e2e::topWindows(first.id())) EXPECT_FALSE(IsWindowVisible(w)) << "the engine shows no window";

  ASSERT_TRUE(e2e::Process::start(control::stopperFromStopButton(app.path()).program).waitForExit(10s));
  // The stopper returns only once the engines have gone.
  EXPECT_FALSE(first.running());
  EXPECT_FALSE(second.running());

  // A later engine is not ended by the stop that came before it.
  auto later = e2e::Process::start(control::engineFromWatchdog(app.path()).program);
  ASSERT_TRUE(e2e::waitUntil(engineListening));
  e2e::pumpFor(300ms);
  EXPECT_TRUE(later.running());
  EXPECT_TRUE(e2e::Process::start(control::stopperFromShutDown(app.path()).program).waitForExit(10s));
  EXPECT_TRUE(later.waitForExit(1s));
}

}  // namespace
