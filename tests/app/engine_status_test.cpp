// The status rows under Wine's Service Control Manager: the service installed by the first
// refresh, both rows and their buttons, the watchdog, and blanks that start no other program.
#include <gtest/gtest.h>

#include "e2e/engine_stage.h"
#include "e2e/utility.h"

namespace {

using namespace e2e;

struct Row {
  int green, red, start, stop;
};
constexpr Row kProgramRow{IDC_PROGRAM_GREEN_DOT, IDC_PROGRAM_RED_DOT, IDC_START_PROGRAM, IDC_STOP_PROGRAM};
constexpr Row kServiceRow{IDC_SERVICE_GREEN_DOT, IDC_SERVICE_RED_DOT, IDC_START_SERVICE, IDC_STOP_SERVICE};

// 1 green, 0 red, -1 neither as the light rule leaves it.
int light(const Utility& utility, const Row& row) {
  auto shown = [&](int id) { return IsWindowVisible(utility.control(id)) != 0; };
  auto enabled = [&](int id) { return IsWindowEnabled(utility.control(id)) != 0; };
  if (shown(row.green) && !shown(row.red) && !enabled(row.start) && enabled(row.stop)) return 1;
  if (!shown(row.green) && shown(row.red) && enabled(row.start) && !enabled(row.stop)) return 0;
  return -1;
}

bool becomes(const Utility& utility, const Row& row, int state, Duration timeout = 20s) {
  return waitUntil([&] { return light(utility, row) == state; }, timeout);
}

// A program planted where the folder's first blank would end an unquoted
// path: "...\Temp\Brennix App 12-0" starts with "...\Temp\Brennix".
std::string plantProgram(const AppFolder& app) {
  std::string planted = app.path().substr(0, app.path().find(' ')) + ".exe";
  EXPECT_TRUE(CopyFileA((builtAppFolder() + "\\..\\bin\\sleeper.exe").c_str(), planted.c_str(), FALSE));
  return planted;
}

TEST(EngineStatus, AFirstStartInstallsTheServiceAndEachRowFollowsItsButtons) {
  EngineServiceRemover remover;
  AppFolder app(true);
  const std::string planted = plantProgram(app);

  Utility utility(app, "", false);
  HWND installing = utility.control(IDC_INSTALLING_SERVICE);
  EXPECT_TRUE(waitUntil([&] { return IsWindowVisible(installing) != 0; })) << "shown while the batch runs";
  ASSERT_TRUE(becomes(utility, kServiceRow, 1, 60s)) << "green in the same refresh";
  EXPECT_FALSE(IsWindowVisible(installing));
  EXPECT_EQ(light(utility, kProgramRow), 0);
  EXPECT_TRUE(app.exists("installservice.bat") && app.exists("uninstallservice.bat"));
  EXPECT_EQ(engineServiceStatus().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(imageOf(engineServiceStatus().dwProcessId), app.file("BrennixMonitorsrv.exe"));

  // The service's buttons change its row alone, at once.
  ASSERT_TRUE(click(utility.control(IDC_STOP_SERVICE)));
  ASSERT_TRUE(becomes(utility, kServiceRow, 0));
  EXPECT_EQ(engineServiceStatus().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  // In its place, one that takes 1.5 s to start: Start waits for it, as "net start" may return before
  // (Wine's does), and a Tab pressed meanwhile moves the focus on.
  removeEngineService();
  ASSERT_EQ(run("\"" + app.file("nssm.exe") + "\" install BrennixMonitor " + builtAppFolder() +
                "\\..\\bin\\sleeper.exe"),
            0u);
  clickOn(utility.control(IDC_START_SERVICE));
  pressKeys("Tab");
  ASSERT_TRUE(becomes(utility, kServiceRow, 1));
  EXPECT_EQ(focusedWindow(), utility.control(IDC_SAVE_AND_CLOSE));
  // The program's buttons change both rows, through the refresh, which passes on the focus of the one
  // it disables.
  clickOn(utility.control(IDC_START_PROGRAM));
  ASSERT_TRUE(becomes(utility, kProgramRow, 1));
  EXPECT_EQ(light(utility, kServiceRow), 1);
  EXPECT_EQ(focusedWindow(), utility.control(IDC_STOP_PROGRAM));
  pressKeys("space");
  ASSERT_TRUE(becomes(utility, kProgramRow, 0));
  EXPECT_EQ(focusedWindow(), utility.control(IDC_START_PROGRAM));

  // Closed as the task manager closes it: ended, its tray icon gone. A later start finds the service
  // and installs nothing.
  ASSERT_TRUE(trayHasIcon(utility.main));
  PostMessageA(utility.main, WM_CLOSE, 0, 0);
  ASSERT_TRUE(utility.process.waitForExit());
  EXPECT_FALSE(trayHasIcon(utility.main));
  DeleteFileA(app.file("installservice.bat").c_str());
  Utility again(app);
  EXPECT_TRUE(becomes(again, kServiceRow, 1));
  EXPECT_FALSE(app.exists("installservice.bat"));
  EXPECT_EQ(GetFileAttributesA((planted + ".ran").c_str()), INVALID_FILE_ATTRIBUTES)
      << "a path of the utility ran " << planted;
  DeleteFileA(planted.c_str());
}

TEST(EngineStatus, TheWatchdogStartsTheEngineProgramAgainWithinAMinute) {
  AppFolder app;
  Utility utility(app);
  ASSERT_TRUE(becomes(utility, kProgramRow, 0));
  ASSERT_TRUE(click(utility.control(IDC_START_PROGRAM)));
  ASSERT_TRUE(becomes(utility, kProgramRow, 1));
  const auto killed = std::chrono::steady_clock::now();
  ASSERT_EQ(endProcessesNamed("BrennixMonitor.exe"), 1);  // as if it had crashed
  // The real interval: 60.7 s from the window's creation, then the refresh.
  ASSERT_TRUE(waitUntil([] { return processesNamed("BrennixMonitor.exe") == 1; }, 65s));
  EXPECT_LT(std::chrono::steady_clock::now() - killed, 62s);
  EXPECT_TRUE(becomes(utility, kProgramRow, 1, 5s));
}

}  // namespace
