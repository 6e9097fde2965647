// The process test, the registry reader and run-and-wait, against Wine's
// real processes, registry and clock.
#include <gtest/gtest.h>

#include "win/process_list.h"
#include "win/unique_resource.h"
#include "e2e/driver.h"
#include "win/registry.h"
#include "control/engine_programs.h"
#include "win/run_and_wait.h"
#include "base/wait_limit.h"
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

// Ends the sleepers a test left running: a wait that gives up does not end
// its program.
void endSleepers() {
  win::forEachProcess([](const PROCESSENTRY32& p) {
    if (_stricmp(p.szExeFile, "sleeper.exe") == 0) {
      win::unique_handle process(OpenProcess(PROCESS_TERMINATE, FALSE, p.th32ProcessID));
      if (process) TerminateProcess(process.get(), 1);
    }
    return true;
  });
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

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = "Software\\BrennixTest " + std::to_string(GetCurrentProcessId());
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, path_.c_str(), key_.put()), ERROR_SUCCESS);
  }
  void TearDown() override {
    key_.reset();
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, path_.c_str());
  }
  void set(const char* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetValueExA(key_.get(), name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  }
  win::RegistryValue read(const char* name) {
    return win::readRegistryValue(HKEY_LOCAL_MACHINE, path_, name);
  }
  std::string path_;
  win::unique_hkey key_;
};

TEST_F(Registry, ReadsTextUpToItsFirstNulNumbersSignedAndNothingElse) {
  set("text", REG_SZ, "abc\0def", 8);
  set("plain", REG_SZ, "Brennix", 8);
  set("unterminated", REG_SZ, "xyz", 3);
  set("empty", REG_SZ, "", 0);
  DWORD sixteen = 16, minusOne = 0xFFFFFFFF;
  set("sixteen", REG_DWORD, &sixteen, 4);
  set("minus", REG_DWORD, &minusOne, 4);

  EXPECT_EQ(read("text").text(), "abc");
  EXPECT_FALSE(read("text").isNumber());
  EXPECT_EQ(read("plain").text(), "Brennix");
  EXPECT_EQ(read("unterminated").text(), "xyz");
  EXPECT_TRUE(read("empty").empty());

  auto number = read("sixteen");
  ASSERT_TRUE(number.isNumber());
  EXPECT_EQ(number.number(), 16);
  EXPECT_EQ(number.text(), "16");
  EXPECT_FALSE(number.empty()) << "a number is never the empty text";
  EXPECT_EQ(read("minus").number(), -1);

  // Every other type, a missing value or key: the empty text.
  set("expand", REG_EXPAND_SZ, "%SystemRoot%", 13);
  set("multi", REG_MULTI_SZ, "a\0b\0", 5);
  set("binary", REG_BINARY, "\x01\x02", 2);
  EXPECT_TRUE(read("expand").empty());
  EXPECT_TRUE(read("multi").empty());
  EXPECT_TRUE(read("binary").empty());
  EXPECT_TRUE(read("missing value").empty());
  EXPECT_TRUE(win::readRegistryValue(HKEY_LOCAL_MACHINE, path_ + "\\missing key", "x").empty());

  std::string fits(32766, 'a');
  std::string tooLong(32767, 'b');
  set("fits", REG_SZ, fits.c_str(), static_cast<DWORD>(fits.size() + 1));
  set("too long", REG_SZ, tooLong.c_str(), static_cast<DWORD>(tooLong.size() + 1));
  EXPECT_EQ(read("fits").text(), fits);
  EXPECT_TRUE(read("too long").empty());
}

// ---- Wait limit on the time of day -------------------------------------------

TEST(WaitLimit, EndsAtStartPlusTimeoutAndAcrossMidnightOnlyOnceMidnightIsPast) {
  auto none = base::makeWaitLimit(43200, 0);
  EXPECT_FALSE(none.set);
  EXPECT_FALSE(base::limitReached(none, 86399));

  auto noon = base::makeWaitLimit(43200.4, 30);
  EXPECT_EQ(noon.start, 43200);
  EXPECT_FALSE(base::limitReached(noon, 43229.9));
  EXPECT_FALSE(base::limitReached(noon, 43230));
  EXPECT_TRUE(base::limitReached(noon, 43230.1));

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
      {"nothing-at-all.exe 1 2", 0, 0, 2, ""},
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
  endSleepers();
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
