// One running copy: a second start tells the user, and only after the user
// has read it brings back every window whose title contains the main title.
#include <gtest/gtest.h>

#include "e2e/driver.h"

namespace {

using namespace std::chrono_literals;

constexpr char kTitle[] = "Configure Brennix Monitor";
constexpr char kMainClass[] = "BrennixConfigMainWindow";

// A top-level window of the test's own that records the restore messages it
// receives.
class Decoy {
 public:
  explicit Decoy(const std::string& title) {
    static ATOM atom = [] {
      WNDCLASSA wc{};
      wc.lpfnWndProc = proc;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = "BrennixTestDecoy";
      return RegisterClassA(&wc);
    }();
    (void)atom;
    window_.reset(CreateWindowA("BrennixTestDecoy", title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr));
    SetWindowLongPtrA(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  // What arrived, in order: "restore" and "size 3".
  std::vector<std::string> received;

 private:
  static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Decoy*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self && msg == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_RESTORE) {
      self->received.push_back("restore");
      return 0;
    }
    if (self && msg == WM_SIZE && wParam == SIZE_MAXSHOW) self->received.push_back("size 3");
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
  win::unique_hwnd window_;
};

TEST(SingleInstance, FirstCopyShowsTheMainWindow) {
  e2e::AppFolder app;
  auto first = e2e::Process::start(app.utility());
  HWND main = e2e::waitForTopWindow(first.id(), kMainClass, kTitle);
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(e2e::waitUntil([&] { return IsWindowVisible(main) != 0; }));
  EXPECT_FALSE(e2e::findMessageBox(first.id()));
}

TEST(SingleInstance, SecondCopyTellsTheUserThenRestoresEveryWindowWithTheTitle) {
  e2e::AppFolder app;
  auto first = e2e::Process::start(app.utility());
  HWND main = e2e::waitForTopWindow(first.id(), kMainClass, kTitle);
  ASSERT_NE(main, nullptr);
  PostMessageA(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(e2e::waitUntil([&] { return IsIconic(main) != 0; }));

  Decoy containing("Notes - Configure Brennix Monitor (draft)");
  Decoy otherCase("configure brennix monitor");

  auto second = e2e::Process::start(app.utility());
  auto box = e2e::waitForMessageBox(second.id());
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text,
            "Another copy of the configuration utility is already running. Check system tray for icon");
  EXPECT_EQ(box->caption, "Brennix Monitor");
  EXPECT_EQ(box->icon, e2e::BoxIcon::Information);
  EXPECT_EQ(box->buttons, std::vector<std::string>{"OK"});

  // While the message is up nothing has been restored, and the second copy
  // has no window but its message box.
  e2e::pumpFor(300ms);
  EXPECT_TRUE(IsIconic(main));
  EXPECT_TRUE(containing.received.empty());
  for (HWND w : e2e::topWindows(second.id())) {
    EXPECT_NE(e2e::className(w), kMainClass);
    EXPECT_NE(e2e::windowText(w), kTitle);
  }

  box->press("OK");
  ASSERT_TRUE(second.waitForExit());
  EXPECT_EQ(second.exitCode(), 0u);
  EXPECT_FALSE(IsIconic(main));
  EXPECT_TRUE(IsWindowVisible(main));
  EXPECT_EQ(containing.received, (std::vector<std::string>{"restore", "size 3"}));
  EXPECT_TRUE(otherCase.received.empty()) << "the title is compared with its letter case";
  EXPECT_TRUE(first.running());
}

TEST(SingleInstance, ACopyFromAnotherFolderIsStillTheSameProgram) {
  e2e::AppFolder one, two;
  auto first = e2e::Process::start(one.utility());
  ASSERT_NE(e2e::waitForTopWindow(first.id(), kMainClass, kTitle), nullptr);
  auto second = e2e::Process::start(two.utility());
  auto box = e2e::waitForMessageBox(second.id());
  ASSERT_TRUE(box);
  box->press("OK");
  EXPECT_TRUE(second.waitForExit());
}

TEST(SingleInstance, TheMarkGoesWithTheFirstCopy) {
  e2e::AppFolder app;
  {
    auto first = e2e::Process::start(app.utility());
    ASSERT_NE(e2e::waitForTopWindow(first.id(), kMainClass, kTitle), nullptr);
  }  // ended here, as by the task manager
  auto next = e2e::Process::start(app.utility());
  EXPECT_NE(e2e::waitForTopWindow(next.id(), kMainClass, kTitle), nullptr);
  EXPECT_FALSE(e2e::findMessageBox(next.id()));
}

}  // namespace
