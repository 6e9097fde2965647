// The engine programs beside the utility: what the utility starts, and that
// the stopper really ends the engine.
#include <gtest/gtest.h>

#include "win/process_list.h"
#include "base/text.h"
#include "e2e/driver.h"
#include "control/engine_programs.h"

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

TEST(EngineCommandLines, AreTheFolderAndTheProgramName) {
  const std::string folder = "C:\\Program Files\\Brennix";
  auto start = control::engineFromStartButton(folder);
  EXPECT_EQ(start.commandLine, "C:\\Program Files\\Brennix\\BrennixMonitor.exe");
  EXPECT_EQ(start.program, start.commandLine);
  EXPECT_EQ(start.window, control::WindowMode::MinimisedNoFocus);
  EXPECT_FALSE(start.waited);

  EXPECT_EQ(control::engineFromWatchdog(folder).window, control::WindowMode::Hidden);

  auto stop = control::stopperFromStopButton(folder);
  EXPECT_EQ(stop.commandLine, "C:\\Program Files\\Brennix\\shutdownBrennixMonitor.exe");
  EXPECT_TRUE(stop.waited);

  auto shutDown = control::stopperFromShutDown(folder);
  EXPECT_EQ(shutDown.commandLine, "C:\\Program Files\\Brennix\\shutdownBrennixMonitor.exe ");
  EXPECT_EQ(shutDown.program, "C:\\Program Files\\Brennix\\shutdownBrennixMonitor.exe");
  EXPECT_EQ(shutDown.window, control::WindowMode::Normal);

  EXPECT_EQ(control::serviceInstallLine(folder),
            "nssm.exe install BrennixMonitor \"C:\\Program Files\\Brennix\\BrennixMonitorsrv.exe\"");
  EXPECT_EQ(control::serviceRemoveLine(), "nssm.exe remove BrennixMonitor confirm");
}

TEST(EnginePrograms, TheStopperEndsEveryRunningEngine) {
  e2e::AppFolder app;
  ASSERT_EQ(enginesRunning(), 0) << "an engine of an earlier run is still up";
  auto first = e2e::Process::start(control::engineFromStartButton(app.path()).program);
  auto second = e2e::Process::start(control::engineFromWatchdog(app.path()).program);
  e2e::pumpFor(500ms);
  ASSERT_TRUE(first.running());
  ASSERT_TRUE(second.running());
  EXPECT_EQ(enginesRunning(), 2);
  EXPECT_TRUE(e2e::topWindows(first.id()).empty() ||
              !IsWindowVisible(e2e::topWindows(first.id()).front()))
      << "the engine shows no window";

  auto stopper = e2e::Process::start(control::stopperFromStopButton(app.path()).program);
  ASSERT_TRUE(stopper.waitForExit(10s));
  // The stopper returns only once the engines have gone.
  EXPECT_FALSE(first.running());
  EXPECT_FALSE(second.running());
  EXPECT_EQ(enginesRunning(), 0);

  // A later engine is not ended by the stop that came before it.
  auto later = e2e::Process::start(control::engineFromWatchdog(app.path()).program);
  e2e::pumpFor(500ms);
  EXPECT_TRUE(later.running());
  auto again = e2e::Process::start(control::stopperFromShutDown(app.path()).program);
  EXPECT_TRUE(again.waitForExit(10s));
  EXPECT_TRUE(later.waitForExit(1s));
}

TEST(EnginePrograms, TheStopperReturnsAtOnceWhenNoEngineRuns) {
  e2e::AppFolder app;
  auto start = std::chrono::steady_clock::now();
  auto stopper = e2e::Process::start(control::stopperFromStopButton(app.path()).program);
  ASSERT_TRUE(stopper.waitForExit(10s));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

}  // namespace
