// The system wrappers against Wine's real processes, registry, services and
// clock: the process test, the registry reader, the service list, and
// run-and-wait with its limit on the time of day.
#include <gtest/gtest.h>

#include "win/process_list.h"
#include "win/unique_resource.h"
#include "e2e/driver.h"
#include "win/registry.h"
#include "control/engine_programs.h"
#include "win/run_and_wait.h"
#include "base/wait_limit.h"
#include "win/services.h"
#include "win/wmi_processes.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string ownFolder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s = path;
  return s.substr(0, s.find_last_of('\\'));
}

std::string sleeper(int ms, int exitCode = 0) {
  return "\"" + ownFolder() + "\\sleeper.exe\" " + std::to_string(ms) + " " + std::to_string(exitCode);
}

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// ---- Process test -----------------------------------------------------------

TEST(IsProcessRunning, FindsTheImageNameInAnyLetterCaseAndNothingElse) {
  e2e::AppFolder app;
  EXPECT_FALSE(win::IsProcessRunning("BrennixMonitor.exe"));
  auto engineProcess = e2e::Process::start(control::engineFromWatchdog(app.path()).program);
  ASSERT_TRUE(e2e::waitUntil([] { return win::IsProcessRunning("BrennixMonitor.exe"); }));

  EXPECT_TRUE(win::IsProcessRunning("BrennixMonitor.exe"));
  EXPECT_TRUE(win::IsProcessRunning("bRENNIXmONITOR.EXE"));
  EXPECT_FALSE(win::IsProcessRunning(app.file("BrennixMonitor.exe"))) << "a folder is never found";
  EXPECT_FALSE(win::IsProcessRunning("BrennixMonitor.exe ")) << "no trimming";
  EXPECT_FALSE(win::IsProcessRunning("BrennixMonitor"));
  EXPECT_FALSE(win::IsProcessRunning("Brennix*.exe")) << "no wildcards";

  engineProcess.kill();
  EXPECT_FALSE(win::IsProcessRunning("BrennixMonitor.exe"));
}

// ---- Registry ---------------------------------------------------------------

// A key of the test's own, removed at the end.
struct TestKey {
  TestKey() { RegCreateKeyA(HKEY_LOCAL_MACHINE, path.c_str(), key.put()); }
  ~TestKey() { key.reset(), RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str()); }
  void set(const char* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetValueExA(key.get(), name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  }
  win::RegistryValue read(const char* name) { return win::readRegistryValue(HKEY_LOCAL_MACHINE, path, name); }
  std::string path = "Software\\BrennixTest " + std::to_string(GetCurrentProcessId());
  win::unique_hkey key;
};

TEST(Registry, ReadsTextUpToItsFirstNulNumbersSignedAndNothingElse) {
  TestKey k;
  auto set = [&](const char* n, DWORD t, const void* d, DWORD size) { k.set(n, t, d, size); };
  auto read = [&](const char* n) { return k.read(n); };
  const std::string fits(32766, 'a'), tooLong(32767, 'b');
  DWORD sixteen = 16, minusOne = 0xFFFFFFFF;
  set("text", REG_SZ, "abc\0def", 8);
  set("unterminated", REG_SZ, "xyz", 3);
  set("fits", REG_SZ, fits.c_str(), static_cast<DWORD>(fits.size() + 1));
  set("too long", REG_SZ, tooLong.c_str(), static_cast<DWORD>(tooLong.size() + 1));
  set("sixteen", REG_DWORD, &sixteen, 4);
  set("minus", REG_DWORD, &minusOne, 4);
  set("expand", REG_EXPAND_SZ, "%SystemRoot%", 13);
  set("binary", REG_BINARY, "\x01\x02", 2);
  const std::pair<const char*, std::string> cases[] = {
      {"text", "abc"},    {"unterminated", "xyz"}, {"fits", fits},       {"too long", ""}, {"sixteen", "16"},
      {"minus", "-1"},    {"expand", ""},          {"binary", ""},       {"missing", ""}};
  for (const auto& [name, text] : cases) EXPECT_EQ(read(name).text(), text) << name;
  EXPECT_TRUE(read("sixteen").isNumber());
  EXPECT_FALSE(read("sixteen").empty()) << "a number is never the empty text";
  EXPECT_TRUE(win::readRegistryValue(HKEY_LOCAL_MACHINE, k.path + "\\missing key", "x").empty());
}

// ---- Services ---------------------------------------------------------------

TEST(Services, AreListedWithTheirStatesAndFoundByDisplayNameOnly) {
  const win::ServiceListing listing = win::listServices();
  ASSERT_TRUE(listing.listed);
  bool running = false, stopped = false;
  for (const auto& s : listing.services) {
    EXPECT_FALSE(win::serviceStateName(s.currentState).empty()) << s.serviceName;
    running |= s.currentState == win::kServiceRunning;
    stopped |= s.currentState == SERVICE_STOPPED;
  }
  EXPECT_TRUE(running && stopped);
  EXPECT_EQ(win::serviceStateText(listing, "print SPOOLER"), win::serviceStateText(listing, "Print Spooler"));
  EXPECT_EQ(win::serviceStateText(listing, "Spooler"), "") << "key names are not display names";
  EXPECT_FALSE(win::IsServiceRunning("No Such Service"));

  const std::vector<win::ServiceEntry> list = {{"A", "Same", 1}, {"B", "SAME", 4}};
  EXPECT_EQ(win::findService(list, "same")->serviceName, "A") << "the first one decides";
  for (int code : {-1, 0, 8}) EXPECT_EQ(win::serviceStateName(code), "") << code;
  EXPECT_EQ(win::serviceStateName(7), "Paused");
}

// ---- Wait limit on the time of day -------------------------------------------

TEST(WaitLimit, EndsAtStartPlusTimeoutAndAcrossMidnightOnlyOnceMidnightIsPast) {
  auto none = base::makeWaitLimit(43200, 0);
  EXPECT_FALSE(none.set);
  EXPECT_FALSE(base::limitReached(none, 86399));

  // 23:59:50 plus 30 s ends at about 00:00:20, not at once.
  auto late = base::makeWaitLimit(86390, 30);
  EXPECT_TRUE(late.afterMidnight);
  EXPECT_EQ(late.end, 20);
  EXPECT_FALSE(base::limitReached(late, 86390));
  EXPECT_FALSE(base::limitReached(late, 86399.9));
  EXPECT_FALSE(base::limitReached(late, 0));
  EXPECT_FALSE(base::limitReached(late, 20));
  EXPECT_TRUE(base::limitReached(late, 20.5));

  // A start that rounds up to midnight.
  auto edge = base::makeWaitLimit(86399.6, 5);
  EXPECT_TRUE(edge.afterMidnight);
  EXPECT_EQ(edge.end, 5);
}

// ---- Run and wait -------------------------------------------------------------

TEST(ShellAndWait, WaitsForTheEndOrTheLimitAndNotForWhatCannotStart) {
  struct {
    std::string line;
    int limit;
    double least, most;
    std::string program;
  } cases[] = {
      {sleeper(1500), 0, 1.4, 10, ""},
      {"C:\\no such folder\\nothing.exe", 0, 0, 2, ""},
      // The start is rounded to a whole second: the limit ends 1.5 to 2.5 s later.
      {sleeper(20000), 2, 1.4, 4, ""},
      // Ended after 0.1 s, but with the code of a running program.
      {sleeper(100, 259), 2, 1.4, 4, ""},
      // Without the program's path the system would try "C:\Program" first.
      {"C:\\Program Files\\sleeper.exe 800 0", 0, 0.7, 10, ownFolder() + "\\sleeper.exe"},
  };
  for (const auto& c : cases) {
    auto start = Clock::now();
    win::shellAndWait(c.line, c.limit, c.program);
    EXPECT_GE(secondsSince(start), c.least) << c.line;
    EXPECT_LT(secondsSince(start), c.most) << c.line;
  }
  e2e::endProcessesNamed("sleeper.exe");  // a wait that gives up does not end its program
}

TEST(ShellAndWait, WindowEventsRunWhileItWaitsAndAQuitIsKept) {
  static int ticks = 0;
  ticks = 0;
  win::unique_hwnd window(CreateWindowA("STATIC", "timer host", 0, 0, 0, 10, 10, nullptr, nullptr,
                                         GetModuleHandleA(nullptr), nullptr));
  ASSERT_TRUE(window);
  SetTimer(window.get(), 1, 100, [](HWND, UINT, UINT_PTR, DWORD) { ++ticks; });
  win::shellAndWait(sleeper(1000), 0);
  KillTimer(window.get(), 1);
  EXPECT_GE(ticks, 3) << "the timer set before the wait fires during it";

  // A quit request is kept for the main loop.
  PostQuitMessage(7);
  win::shellAndWait(sleeper(200), 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
}

}  // namespace
