// Start-up: one running copy (a second start tells the user, then restores every window whose
// title contains the main title), the files a first start makes, a folder that cannot be written.
#include <algorithm>
#include <gtest/gtest.h>

#include "e2e/utility.h"

namespace {

using namespace std::chrono_literals;

// A minimised top-level window of the test's own with this title.
win::unique_hwnd minimisedWindow(const std::string& title) {
  win::unique_hwnd w(CreateWindowA("STATIC", title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                   nullptr, nullptr, nullptr));
  ShowWindow(w.get(), SW_MINIMIZE);
  return w;
}

TEST(SingleInstance, SecondCopyTellsTheUserThenRestoresEveryWindowWithTheTitle) {
  e2e::AppFolder app;
  auto first = e2e::Process::start(app.utility());
  HWND main = e2e::waitForTopWindow(first.id(), e2e::kMainClass, e2e::kMainTitle);
  ASSERT_NE(main, nullptr);
  PostMessageA(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(e2e::waitUntil([&] { return IsIconic(main) != 0; }));

  const auto containing = minimisedWindow("Notes - Configure Brennix Monitor (draft)");
  const auto otherCase = minimisedWindow("configure brennix monitor");

  e2e::AppFolder other;  // a copy from another folder is the same program
  auto second = e2e::Process::start(other.utility());
  auto box = e2e::waitForMessageBox(second.id());
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text,
            "Another copy of the configuration utility is already running. Check system tray for icon");
  EXPECT_EQ(box->caption, "Brennix Monitor");
  EXPECT_EQ(box->icon, e2e::BoxIcon::Information);
  EXPECT_EQ(box->buttons, std::vector<std::string>{"OK"});

  // While the message is up nothing has been restored, and the second copy has no window but its message box.
  e2e::pumpFor(300ms);
  EXPECT_TRUE(IsIconic(main));
  EXPECT_TRUE(IsIconic(containing.get()));
  for (HWND w : e2e::topWindows(second.id())) {
    EXPECT_NE(e2e::className(w), e2e::kMainClass);
    EXPECT_NE(e2e::windowText(w), e2e::kMainTitle);
  }

  box->press("OK");
  ASSERT_TRUE(second.waitForExit());
  EXPECT_EQ(second.exitCode(), 0u);
  EXPECT_FALSE(IsIconic(main));
  EXPECT_TRUE(IsWindowVisible(main));
  EXPECT_TRUE(e2e::waitUntil([&] { return !IsIconic(containing.get()); })) << "every window with the title";
  EXPECT_TRUE(IsIconic(otherCase.get())) << "the title is compared with its letter case";
  EXPECT_TRUE(first.running());
}

TEST(StartUp, AFirstStartCreatesBothFilesAndShowsEmptyControls) {
  e2e::AppFolder app;
  e2e::Utility utility(app);
  EXPECT_EQ(utility.waitForRows({e2e::kEmptyRow, e2e::kEmptyRow, e2e::kEmptyRow}).size(), 3u);
  EXPECT_EQ(app.read("processes.ob"), " \r\n");
  EXPECT_EQ(app.read("settings.ob"), " \r\n");
  EXPECT_FALSE(e2e::findMessageBox(utility.id()));
  // Active, and the grid shows where its keys start.
  EXPECT_TRUE(e2e::captionDrawnActive(utility.main));
  EXPECT_EQ(e2e::focusedListRow(utility.grid()), 0);
  for (int id : {IDC_RESTART, IDC_LOG, IDC_SEND_EMAIL, IDC_REPEAT_EMAIL, IDC_PLAY_SOUND})
    EXPECT_EQ(SendMessageA(utility.control(id), BM_GETCHECK, 0, 0), BST_UNCHECKED) << id;
  for (int id : {IDC_RESTART_SECONDS, IDC_EMAIL_ADDRESSES, IDC_REPEAT_MINUTES, IDC_SOUND_FILE})
    EXPECT_EQ(e2e::windowText(utility.control(id)), "") << id;
}

// Settings, grid and service installation each say so once while their messages wait; then the
// window shows with the panel as designed, and a later refresh says it once more.
TEST(StartUp, AFolderThatCannotBeWrittenGivesOneMessageEachAndNoPileOfThem) {
  e2e::removeEngineService();
  e2e::AppFolder app;
  support::Unchangeable locked(app.path());
  ASSERT_TRUE(locked.set);
  e2e::Utility utility(app, "", false);
  auto answerAll = [&] {
    std::vector<std::string> texts;
    for (auto box = e2e::waitForMessageBox(utility.id(), 2s); box && texts.size() < 6;  // or they keep coming
         box = e2e::waitForMessageBox(utility.id(), 2s))
      texts.push_back(box->text), box->press("OK");
    return texts;
  };
  e2e::pumpFor(2s);
  auto texts = answerAll();
  ASSERT_EQ(texts.size(), 3u);
  const std::string startUpItem = "Unable to create start up item. Maybe we don't have admin permissions? ";
  for (const auto& text : texts)
    EXPECT_TRUE(text.rfind("Error: ", 0) == 0 || text.rfind(startUpItem, 0) == 0) << text;
  EXPECT_TRUE(IsWindowVisible(utility.main));
  EXPECT_FALSE(app.exists("processes.ob"));
  EXPECT_EQ(SendMessageA(utility.control(IDC_RESTART), BM_GETCHECK, 0, 0), BST_CHECKED) << "as designed";
  EXPECT_EQ(e2e::windowText(utility.control(IDC_RESTART_SECONDS)), "100");

  // The tray's double-click arms one more refresh and rebuilds the grid: one more message each.
  e2e::postTrayNotification(utility.main, WM_LBUTTONDBLCLK);
  texts = answerAll();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(std::count_if(texts.begin(), texts.end(), [&](auto& t) { return t.rfind(startUpItem, 0) == 0; }),
            1);
}

}  // namespace
