// The utility in the tray: its icon and menu, and the rules by which the main window hides and comes back.
#include <gtest/gtest.h>

#include "e2e/utility.h"

namespace {

using namespace e2e;

bool hidden(HWND w) { return !IsWindowVisible(w); }

HWND openTrayMenu(const Utility& utility) {
  postTrayNotification(utility.main, WM_RBUTTONUP);
  HWND menu = nullptr;
  waitUntil([&] { return (menu = findPopupMenu(utility.id())) != nullptr; });
  return menu;
}

TEST(Tray, TheWindowHidesAndComesBackByTheIconAndItsMenu) {
  AppFolder app;
  Utility utility(app, "MiNiMiZe");  // starts hidden in the tray
  ASSERT_TRUE(waitUntil([&] { return hidden(utility.main) && trayHasIcon(utility.main); }, 3s));
  // Single clicks, a right press without release and plain moves do nothing.
  for (UINT code : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN})
    postTrayNotification(utility.main, code);
  pumpFor(500ms);
  EXPECT_TRUE(hidden(utility.main));
  EXPECT_TRUE(utility.process.running());

  // A double-click shows it in normal state with a grid read afresh.
  app.write("processes.ob", " \r\nfresh.exe|C:\\fresh.exe\r\n");
  EXPECT_LT(utility.rowNamed("fresh.exe"), 0) << "the grid is not refreshed by itself";
  postTrayNotification(utility.main, WM_LBUTTONDBLCLK);
  ASSERT_TRUE(waitUntil([&] { return !hidden(utility.main) && !IsIconic(utility.main); }));
  EXPECT_TRUE(waitUntil([&] { return utility.rowNamed("fresh.exe") >= 0; }));

  // The title-bar close (and Alt+F4) comes as SC_CLOSE and hides it, as
  // minimising does; "Configure..." brings it back, read afresh again.
  PostMessageA(utility.main, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(waitUntil([&] { return hidden(utility.main); }));
  EXPECT_TRUE(utility.process.running());
  app.write("processes.ob", " \r\nagain.exe|C:\\again.exe\r\n");
  HWND menu = openTrayMenu(utility);
  ASSERT_NE(menu, nullptr);
  chooseMenuItem(menu, 1);
  ASSERT_TRUE(waitUntil([&] { return !hidden(utility.main) && !IsIconic(utility.main); }));
  EXPECT_TRUE(waitUntil([&] { return utility.rowNamed("again.exe") >= 0; }));

  // "Shut Down" asks first, and the box takes keys with the window hidden: N changes nothing; Y stops
  // the engine, removes the icon and ends the utility.
  ASSERT_TRUE(waitUntil([&] { return click(utility.control(IDC_START_PROGRAM)); }));
  ASSERT_TRUE(waitUntil([] { return processesNamed("BrennixMonitor.exe") == 1; }));
  PostMessageA(utility.main, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(waitUntil([&] { return hidden(utility.main); }));
  for (const char* answer : {"n", "y"}) {
    menu = openTrayMenu(utility);
    ASSERT_NE(menu, nullptr);
    chooseMenuItem(menu, 0);
    auto box = waitForMessageBox(utility.id());
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, "Are you sure you?");
    EXPECT_EQ(box->caption, "Confirm shut down");
    EXPECT_EQ(box->buttons, (std::vector<std::string>{"&Yes", "&No"}));
    ASSERT_TRUE(waitUntil([&] { return GetParent(focusedWindow()) == box->window; }));  // as a user sees it
    pressKeys(answer);
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(box->window); })) << answer;
    if (answer[0] == 'n') {
      pumpFor(300ms);
      EXPECT_TRUE(utility.process.running());
      EXPECT_EQ(processesNamed("BrennixMonitor.exe"), 1) << "the engine runs on";
    }
  }
  EXPECT_TRUE(utility.process.waitForExit());
  EXPECT_TRUE(waitUntil([] { return processesNamed("BrennixMonitor.exe") == 0; }));
  EXPECT_FALSE(trayHasIcon(utility.main));
}

}  // namespace
