// The system wrappers against Wine's processes, registry, services and clock: the process test,
// the registry reader, the service list, run-and-wait with its limit on the time of day.
#include <gtest/gtest.h>

#include "base/wait_limit.h"
#include "control/engine_programs.h"
#include "e2e/driver.h"
#include "win/registry.h"
#include "win/run_and_wait.h"
#include "win/services.h"
#include "win/wmi_processes.h"

namespace {

using Clock = std::chrono::steady_clock;

// The test helper beside this program: sleeps, then ends with the code.
std::string sleeperPath() { return e2e::builtAppFolder() + "\\..\\bin\\sleeper.exe"; }
std::string sleeper(int ms, int exitCode = 0) {
  return "\"" + sleeperPath() + "\" " + std::to_string(ms) + " " + std::to_string(exitCode);
}
double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(IsProcessRunning, FindsTheImageNameInAnyLetterCaseAndNothingElse) {
  e2e::AppFolder app;
  EXPECT_FALSE(win::IsProcessRunning("BrennixMonitor.exe"));
  auto engine = e2e::Process::start(control::engineFromWatchdog(app.path()).program);
  ASSERT_TRUE(e2e::waitUntil([] { return win::IsProcessRunning("bRENNIXmONITOR.EXE"); }));
  // A folder, blanks, no extension, wildcards: never found.
  for (const std::string& name : {app.file("BrennixMonitor.exe"), std::string("BrennixMonitor.exe "),
                                  std::string("BrennixMonitor"), std::string("Brennix*.exe")})
    EXPECT_FALSE(win::IsProcessRunning(name)) << name;
}

TEST(Registry, ReadsTextUpToItsFirstNulNumbersSignedAndNothingElse) {
  const std::string path = "Software\\BrennixTest " + std::to_string(GetCurrentProcessId());
  win::unique_hkey key;
  ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, path.c_str(), key.put()), ERROR_SUCCESS);
  const std::string fits(32766, 'a'), tooLong(32767, 'b');
  const DWORD sixteen = 16, minusOne = 0xFFFFFFFF;
  const std::tuple<const char*, DWORD, const void*, DWORD, std::string> cases[] = {
      {"text", REG_SZ, "abc\0def", 8, "abc"},
      {"unterminated", REG_SZ, "xyz", 3, "xyz"},
      {"fits", REG_SZ, fits.c_str(), 32767, fits},
      {"too long", REG_SZ, tooLong.c_str(), 32768, ""},
      {"sixteen", REG_DWORD, &sixteen, 4, "16"},
      {"minus", REG_DWORD, &minusOne, 4, "-1"},
      {"expand", REG_EXPAND_SZ, "%SystemRoot%", 13, ""},
      {"binary", REG_BINARY, "\x01\x02", 2, ""}};
  for (const auto& [name, type, data, size, text] : cases) {
    RegSetValueExA(key.get(), name, 0, type, static_cast<const BYTE*>(data), size);
    EXPECT_EQ(win::readRegistryValue(HKEY_LOCAL_MACHINE, path, name).text(), text) << name;
  }
  EXPECT_TRUE(win::readRegistryValue(HKEY_LOCAL_MACHINE, path, "missing").empty());
  EXPECT_TRUE(win::readRegistryValue(HKEY_LOCAL_MACHINE, path + "\\missing key", "x").empty());
  key.reset();
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

TEST(Services, AreListedWithTheirStatesAndFoundByDisplayNameOnly) {
  const win::ServiceListing listing = win::listServices();
  ASSERT_TRUE(listing.listed);
  EXPECT_EQ(win::serviceStateText(listing, "Event Log"), "Running");
  EXPECT_EQ(win::serviceStateText(listing, "print SPOOLER"), win::serviceStateText(listing, "Print Spooler"));
  EXPECT_EQ(win::serviceStateText(listing, "Spooler"), "") << "key names are not display names";
  EXPECT_FALSE(win::IsServiceRunning("No Such Service"));
  const std::vector<win::ServiceEntry> list = {{"A", "Same", 1}, {"B", "SAME", 4}};
  EXPECT_EQ(win::findService(list, "same")->serviceName, "A") << "the first one decides";
}

TEST(WaitLimit, EndsAtStartPlusTimeoutAndAcrossMidnightOnlyOnceMidnightIsPast) {
  EXPECT_FALSE(base::limitReached(base::makeWaitLimit(43200, 0), 86399)) << "no limit";
  // 23:59:50 plus 30 s ends at about 00:00:20, not at once.
  for (double t : {86390.0, 86399.9, 0.0, 20.0, 20.5})
    EXPECT_EQ(base::limitReached(base::makeWaitLimit(86390, 30), t), t == 20.5) << t;
  // A start that rounds up to midnight.
  EXPECT_EQ(base::makeWaitLimit(86399.6, 5).end, 5);
}

TEST(ShellAndWait, WaitsForTheEndOrTheLimitRunsWindowEventsAndKeepsAQuit) {
  const std::tuple<std::string, int, double, double, std::string> cases[] = {
      {sleeper(1500), 0, 1.4, 10, ""},
      {"C:\\no such folder\\nothing.exe", 0, 0, 2, ""},
      // The start is rounded to a whole second: the limit ends 1.5 to 2.5 s later.
      {sleeper(20000), 2, 1.4, 4, ""},
      // Ended after 0.1 s, but with the code of a running program.
      {sleeper(100, 259), 2, 1.4, 4, ""},
      // Without the program's path the system would try "C:\Program" first.
      {"C:\\Program Files\\sleeper.exe 800 0", 0, 0.7, 10, sleeperPath()}};
  for (const auto& [line, limit, least, most, program] : cases) {
    const auto start = Clock::now();
    win::shellAndWait(line, limit, program);
    EXPECT_GE(secondsSince(start), least) << line;
    EXPECT_LT(secondsSince(start), most) << line;
  }
  e2e::endProcessesNamed("sleeper.exe");  // a wait that gives up does not end its program

  static int ticks = 0;
  win::unique_hwnd window(CreateWindowA("STATIC", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
  SetTimer(window.get(), 1, 100, [](HWND, UINT, UINT_PTR, DWORD) { ++ticks; });
  win::shellAndWait(sleeper(1000), 0);
  EXPECT_GE(ticks, 3) << "a timer set before the wait fires during it";
  PostQuitMessage(7);
  win::shellAndWait(sleeper(200), 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
      << "the quit is kept for the main loop";
  EXPECT_EQ(msg.wParam, 7u);
}

}  // namespace
