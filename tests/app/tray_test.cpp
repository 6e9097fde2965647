// The utility in the tray: its icon and tip, its menu, and the rules by
// which the main window hides and comes back.
#include <gtest/gtest.h>

#include <algorithm>

#include "e2e/utility.h"

namespace {

using namespace e2e;
using namespace std::chrono_literals;

bool hidden(HWND w) { return !IsWindowVisible(w); }

TEST(Tray, TheTipShowsTheFirst63CharactersOfItsText) {
  AppFolder app;
  Utility utility(app);
  const std::string expected = "Monitor System Processes and Restart if Necessary - Right click";
  std::vector<std::string> tips;
  EXPECT_TRUE(waitUntil([&] {
    tips = trayTips();
    return std::find(tips.begin(), tips.end(), expected) != tips.end();
  }));
}

TEST(Tray, ClosingOrMinimisingHidesAndTheIconBringsTheWindowBack) {
  AppFolder app;
  Utility utility(app);

  // The title-bar close (and Alt+F4) comes as SC_CLOSE: hidden, still running.
  PostMessageA(utility.main, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(waitUntil([&] { return hidden(utility.main); }));
  pumpFor(300ms);
  EXPECT_TRUE(utility.process.running());

  // Single clicks, a right press without release and plain moves do nothing.
  for (UINT code : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN}) postTrayNotification(utility.main, code);
  pumpFor(500ms);
  EXPECT_TRUE(hidden(utility.main));

  // A double-click shows it in normal state, with a fresh grid.
  app.write("processes.ob", " \r\nfresh.exe|C:\\fresh.exe\r\n");
  postTrayNotification(utility.main, WM_LBUTTONDBLCLK);
  ASSERT_TRUE(waitUntil([&] { return !hidden(utility.main); }));
  EXPECT_FALSE(IsIconic(utility.main));
  EXPECT_TRUE(waitUntil([&] { return utility.rowNamed("fresh.exe") >= 0; }));

  // Minimising hides too; a double-click while shown keeps it shown.
  PostMessageA(utility.main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(waitUntil([&] { return hidden(utility.main); }));
  postTrayNotification(utility.main, WM_LBUTTONDBLCLK);
  ASSERT_TRUE(waitUntil([&] { return !hidden(utility.main) && !IsIconic(utility.main); }));
  postTrayNotification(utility.main, WM_LBUTTONDBLCLK);
  pumpFor(300ms);
  EXPECT_FALSE(hidden(utility.main));
}

TEST(Tray, TheRightButtonMenuConfiguresAndShutsDown) {
  AppFolder app;
  Utility utility(app);
  PostMessageA(utility.main, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(waitUntil([&] { return hidden(utility.main); }));

  // "Configure..." shows the window again.
  postTrayNotification(utility.main, WM_RBUTTONUP);
  HWND menu = nullptr;
  ASSERT_TRUE(waitUntil([&] { return (menu = findPopupMenu(utility.id())) != nullptr; }));
  chooseMenuItem(menu, 1);
  ASSERT_TRUE(waitUntil([&] { return !hidden(utility.main) && !IsIconic(utility.main); }));

  // "Shut Down" asks first; No changes nothing, Yes ends the utility.
  postTrayNotification(utility.main, WM_RBUTTONUP);
  ASSERT_TRUE(waitUntil([&] { return (menu = findPopupMenu(utility.id())) != nullptr; }));
  chooseMenuItem(menu, 0);
  auto box = waitForMessageBox(utility.id());
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, "Are you sure you?");
  EXPECT_EQ(box->caption, "Confirm shut down");
  EXPECT_EQ(box->buttons, (std::vector<std::string>{"&Yes", "&No"}));
  box->press("&No");
  pumpFor(500ms);
  EXPECT_TRUE(utility.process.running());

  postTrayNotification(utility.main, WM_RBUTTONUP);
  ASSERT_TRUE(waitUntil([&] { return (menu = findPopupMenu(utility.id())) != nullptr; }));
  chooseMenuItem(menu, 0);
  box = waitForMessageBox(utility.id());
  ASSERT_TRUE(box);
  box->press("&Yes");
  EXPECT_TRUE(utility.process.waitForExit());
}

TEST(Tray, AnyOtherCloseEndsTheProgramAndRemovesTheIcon) {
  AppFolder app;
  Utility utility(app);
  ASSERT_TRUE(waitUntil([&] { return trayHasIcon(utility.main); }));
  PostMessageA(utility.main, WM_CLOSE, 0, 0);  // as the task manager closes it
  ASSERT_TRUE(utility.process.waitForExit());
  EXPECT_FALSE(trayHasIcon(utility.main));
}

TEST(Tray, MinimizeAsTheWholeArgumentStartsHidden) {
  struct Case {
    const char* arguments;
    bool startsHidden;
  } cases[] = {{"minimize", true}, {"MiNiMiZe", true}, {"minimize now", false}, {"", false}};
  for (const auto& c : cases) {
    AppFolder app;
    Utility utility(app, c.arguments, false);
    pumpFor(1500ms);
    EXPECT_EQ(hidden(utility.main), c.startsHidden) << "\"" << c.arguments << "\"";
    EXPECT_TRUE(utility.process.running());
  }
}

}  // namespace
