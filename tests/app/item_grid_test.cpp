// The item grid of the main window, worked as a user works it.
#include <gtest/gtest.h>

#include "e2e/utility.h"
#include "win/services.h"

namespace {

using namespace e2e;

const char kOpenTitle[] = "Choose .exe file you would like to monitor";

HWND openAddDialog(const Utility& utility) { return utility.openDialog(IDC_ADD_PROGRAM, kOpenTitle); }

TEST(ItemGrid, ShowsEachItemWithItsStateAndRereadsTheFileOnlyWhenAsked) {
  AppFolder app;
  app.write("processes.ob",
            std::string(kExampleItems) + "x\r\nbRENNIXcONFIG.EXE|C:\\somewhere\\BrennixConfig.exe\r\n");
  Utility utility(app);
  const win::ServiceListing listing = win::listServices();
  Rows expected = {
      kEmptyRow,
      kEmptyRow,
      {"1", "example.exe", "C:\\Tools\\example.exe", "Not Running"},
      {"2", "Print Spooler", "[Windows Service]", win::serviceStateText(listing, "Print Spooler")},
      {"4", "bRENNIXcONFIG.EXE", "C:\\somewhere\\BrennixConfig.exe", "Running"},
      kEmptyRow};
  ASSERT_EQ(utility.waitForRows(expected), expected);

  // Changed behind its back, the grid stays as it was ...
  app.write("processes.ob", " \r\nnew.exe|C:\\new.exe\r\n");
  pumpFor(500ms);
  EXPECT_EQ(utility.gridRows(), expected);
  // ... until "Refresh" on its menu, which a right press opens, the selection left as it was, and
  // Shift+F10 and the menu key at the selected row.
  selectListRow(utility.grid(), 2);
  RECT grid{}, shown{};
  GetWindowRect(utility.grid(), &grid);
  for (std::string key : {"", "shift+F10", "Menu"}) {
    key.empty() ? rightPressListRow(utility.grid(), 3) : pressKeys(key);
    HWND menu = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (menu = findPopupMenu(utility.id())) != nullptr; })) << key;
    GetWindowRect(menu, &shown);
    EXPECT_TRUE(key.empty() || PtInRect(&grid, POINT{shown.left, shown.top})) << key;
    EXPECT_EQ(selectedListRow(utility.grid()), 2);
    pressKeys(key == "Menu" ? "r" : "Escape");  // "&Refresh"
    ASSERT_TRUE(waitUntil([&] { return findPopupMenu(utility.id()) == nullptr; }));
  }
  EXPECT_TRUE(waitUntil([&] { return utility.rowNamed("new.exe") >= 0; }));

  // A file that cannot be read: the message, and the empty rows.
  win::unique_file_handle held(
      CreateFileA(app.file("processes.ob").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  PostMessageA(utility.main, WM_COMMAND, IDM_REFRESH_LIST, 0);
  answerBox(utility.id(), "Error: *", BoxIcon::None);
  EXPECT_EQ(utility.gridRows(), (Rows{kEmptyRow, kEmptyRow, kEmptyRow}));
}

TEST(ItemGrid, AddsAProgramOnceAndNoneBeyondTheTable) {
  AppFolder app;
  Utility utility(app);
  HWND add = utility.control(IDC_ADD_PROGRAM);
  HWND dialog = openAddDialog(utility);
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(click(add)) << "disabled while it runs";
  chooseFile(dialog, app.file("BrennixMonitor.exe"));
  const std::string line = "BrennixMonitor.exe|" + app.file("BrennixMonitor.exe") + "\r\n";
  ASSERT_TRUE(waitUntil([&] { return app.read("processes.ob") == " \r\n" + line; }));
  EXPECT_TRUE(waitUntil([&] { return utility.rowNamed("BrennixMonitor.exe") == 2; }, 3s));
  ASSERT_TRUE(waitUntil([&] { return IsWindowEnabled(add) != 0; }));

  // The same program in other letter case is refused.
  const std::string other = " \r\nbrennixmonitor.EXE|C:\\elsewhere\\x.exe\r\n";
  app.write("processes.ob", other);
  dialog = openAddDialog(utility);
  ASSERT_NE(dialog, nullptr);
  chooseFile(dialog, app.file("BrennixMonitor.exe"));
  answerBox(utility.id(), "Process already exists on the list to monitor", BoxIcon::Information);
  // Cancel adds nothing and says nothing.
  ASSERT_TRUE(waitUntil([&] { return IsWindowEnabled(add) != 0; }));
  dialog = openAddDialog(utility);
  ASSERT_NE(dialog, nullptr);
  PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(waitUntil([&] { return IsWindowEnabled(add) != 0; }));
  pumpFor(300ms);
  EXPECT_FALSE(findMessageBox(utility.id()));
  EXPECT_EQ(app.read("processes.ob"), other);

  // A file of 36 lines is full: the 36th item would never show.
  std::string full = " \r\n";
  for (int i = 1; i <= 35; ++i) full += "p" + std::to_string(i) + ".exe|C:\\p.exe\r\n";
  app.write("processes.ob", full);
  ASSERT_TRUE(click(add));
  answerBox(utility.id(), "The list is full: processes.ob holds at most 36 lines*", BoxIcon::Information);
  EXPECT_EQ(findTopWindow(utility.id(), "#32770", kOpenTitle), nullptr);
  EXPECT_TRUE(waitUntil([&] { return IsWindowEnabled(add) != 0; }));
  EXPECT_EQ(app.read("processes.ob"), full);
}

TEST(ItemGrid, DeletesOnlyAfterConfirmationAndSaysWhenItCannot) {
  AppFolder app;
  const std::string three = " \r\na.exe|C:\\a.exe\r\nb.exe|C:\\b.exe\r\nc.exe|C:\\c.exe\r\n";
  app.write("processes.ob", three);
  Utility utility(app);
  HWND del = utility.control(IDC_DELETE_ITEM);
  ASSERT_TRUE(waitUntil([&] { return utility.rowNamed("c.exe") >= 0; }));

  // An empty row; the click's button has the focus again after the message.
  selectListRow(utility.grid(), 0);
  clickOn(del);
  answerBox(utility.id(), "You must first select an item to delete", BoxIcon::Information);
  EXPECT_TRUE(waitUntil([&] { return focusedWindow() == del; }));

  // No leaves the file as it was; Yes deletes, and the others move up.
  selectListRow(utility.grid(), utility.rowNamed("a.exe"));
  for (const char* answer : {"&No", "&Yes"}) {
    ASSERT_TRUE(waitUntil([&] { return click(del); }));
    answerBox(utility.id(),
              "Are you sure you would like to delete this item? You cannot undo this operation!",
              BoxIcon::Question, answer);
    pumpFor(300ms);
    if (answer[1] == 'N') {
      EXPECT_EQ(app.read("processes.ob"), three);
    }
  }
  Rows expected = {kEmptyRow,
                   kEmptyRow,
                   {"1", "b.exe", "C:\\b.exe", "Not Running"},
                   {"2", "c.exe", "C:\\c.exe", "Not Running"},
                   kEmptyRow};
  EXPECT_EQ(utility.waitForRows(expected), expected);
  EXPECT_EQ(app.read("processes.ob"), " \r\nb.exe|C:\\b.exe\r\nc.exe|C:\\c.exe\r\n");

  // A file that cannot be rewritten: the message, the file as it was, and the button back.
  support::Unchangeable locked(app.file("processes.ob"));
  ASSERT_TRUE(locked.set);
  selectListRow(utility.grid(), utility.rowNamed("b.exe"));
  ASSERT_TRUE(waitUntil([&] { return click(del); }));
  answerBox(utility.id(), "Are you sure you would like to delete this item? You cannot undo this operation!",
            BoxIcon::Question, "&Yes");
  answerBox(utility.id(), "Error: You must select and item", BoxIcon::Information);
  EXPECT_TRUE(waitUntil([&] { return IsWindowEnabled(del) != 0; }));
  EXPECT_EQ(app.read("processes.ob"), " \r\nb.exe|C:\\b.exe\r\nc.exe|C:\\c.exe\r\n");
}

}  // namespace
