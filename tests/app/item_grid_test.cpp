// The item grid of the main window, worked as a user works it.
#include <gtest/gtest.h>

#include "e2e/utility.h"
#include "win/services.h"

namespace {

using namespace e2e;
using namespace std::chrono_literals;

const char kOpenTitle[] = "Choose .exe file you would like to monitor";

std::string spoolerState() {
  const win::ServiceListing listing = win::listServices();
  auto* s = win::findService(listing.services, "Print Spooler");
  return s ? win::serviceStateName(s->currentState) : "";
}

TEST(ItemGrid, FirstStartCreatesTheFileAndShowsThreeEmptyRows) {
  AppFolder app;
  Utility utility(app);
  EXPECT_EQ(utility.waitForRows({kEmptyRow, kEmptyRow, kEmptyRow}), (Rows{kEmptyRow, kEmptyRow, kEmptyRow}));
  EXPECT_EQ(app.read("processes.ob"), " \r\n");
  EXPECT_FALSE(findMessageBox(utility.id()));
  EXPECT_EQ(listHeaders(utility.grid()), (std::vector<std::string>{"", "", "", ""}));
}

TEST(ItemGrid, ShowsEachItemWithItsStateInFileOrder) {
  AppFolder app;
  app.write("processes.ob", std::string(kExampleItems) + "x\r\nbRENNIXcONFIG.EXE|C:\\somewhere\\BrennixConfig.exe\r\n");
  Utility utility(app);
  Rows expected = {kEmptyRow,
                   kEmptyRow,
                   {"1", "example.exe", "C:\\Tools\\example.exe", "Not Running"},
                   {"2", "Print Spooler", "[Windows Service]", spoolerState()},
                   {"4", "bRENNIXcONFIG.EXE", "C:\\somewhere\\BrennixConfig.exe", "Running"},
                   kEmptyRow};
  EXPECT_EQ(utility.waitForRows(expected), expected);
}

// Opens the add dialog and returns it.
HWND openAddDialog(const Utility& utility) {
  click(utility.control(IDC_ADD_PROGRAM));
  return waitForTopWindow(utility.id(), "#32770", kOpenTitle);
}

TEST(ItemGrid, AddsAProgramChosenInTheOpenFileDialog) {
  AppFolder app;
  Utility utility(app);
  HWND dialog = openAddDialog(utility);
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(IsWindowEnabled(utility.control(IDC_ADD_PROGRAM))) << "disabled while it runs";
  chooseFile(dialog, app.file("BrennixMonitor.exe"));
  const std::string line = "BrennixMonitor.exe|" + app.file("BrennixMonitor.exe") + "\r\n";
  ASSERT_TRUE(waitUntil([&] { return app.read("processes.ob") == " \r\n" + line; }));
  EXPECT_TRUE(waitUntil([&] { return utility.rowNamed("BrennixMonitor.exe") == 2; }, 3s));
  EXPECT_TRUE(waitUntil([&] { return IsWindowEnabled(utility.control(IDC_ADD_PROGRAM)) != 0; }));

  // The same program in other letter case is refused.
  app.write("processes.ob", " \r\nbrennixmonitor.EXE|C:\\elsewhere\\x.exe\r\n");
  dialog = openAddDialog(utility);
  ASSERT_NE(dialog, nullptr);
  chooseFile(dialog, app.file("BrennixMonitor.exe"));
  auto box = waitForMessageBox(utility.id());
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, "Process already exists on the list to monitor");
  EXPECT_EQ(box->icon, BoxIcon::Information);
  box->press("OK");
  EXPECT_EQ(app.read("processes.ob"), " \r\nbrennixmonitor.EXE|C:\\elsewhere\\x.exe\r\n");

  // Cancel adds nothing and says nothing.
  dialog = openAddDialog(utility);
  ASSERT_NE(dialog, nullptr);
  PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(waitUntil([&] { return IsWindowEnabled(utility.control(IDC_ADD_PROGRAM)) != 0; }));
  pumpFor(300ms);
  EXPECT_FALSE(findMessageBox(utility.id()));
  EXPECT_EQ(app.read("processes.ob"), " \r\nbrennixmonitor.EXE|C:\\elsewhere\\x.exe\r\n");
}

TEST(ItemGrid, DeletesOnlyAfterConfirmationAndRenumbers) {
  AppFolder app;
  const std::string three = " \r\na.exe|C:\\a.exe\r\nb.exe|C:\\b.exe\r\nc.exe|C:\\c.exe\r\n";
  app.write("processes.ob", three);
  Utility utility(app);
  ASSERT_TRUE(waitUntil([&] { return utility.rowNamed("c.exe") >= 0; }));

  // An empty row chosen: nothing to delete.
  selectListRow(utility.grid(), 0);
  click(utility.control(IDC_DELETE_ITEM));
  auto box = waitForMessageBox(utility.id());
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, "You must first select an item to delete");
  EXPECT_EQ(box->icon, BoxIcon::Information);
  box->press("OK");

  // No leaves the file as it was.
  selectListRow(utility.grid(), utility.rowNamed("a.exe"));
  click(utility.control(IDC_DELETE_ITEM));
  box = waitForMessageBox(utility.id());
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, "Are you sure you would like to delete this item? You cannot undo this operation!");
  EXPECT_EQ(box->icon, BoxIcon::Question);
  EXPECT_EQ(box->buttons, (std::vector<std::string>{"&Yes", "&No"}));
  box->press("&No");
  pumpFor(300ms);
  EXPECT_EQ(app.read("processes.ob"), three);

  // Yes deletes the first item; the others take indexes 1 and 2.
  click(utility.control(IDC_DELETE_ITEM));
  box = waitForMessageBox(utility.id());
  ASSERT_TRUE(box);
  box->press("&Yes");
  Rows expected = {kEmptyRow, kEmptyRow, {"1", "b.exe", "C:\\b.exe", "Not Running"},
                   {"2", "c.exe", "C:\\c.exe", "Not Running"}, kEmptyRow};
  EXPECT_EQ(utility.waitForRows(expected), expected);
  EXPECT_EQ(app.read("processes.ob"), " \r\nb.exe|C:\\b.exe\r\nc.exe|C:\\c.exe\r\n");
  EXPECT_TRUE(IsWindowEnabled(utility.control(IDC_DELETE_ITEM)));
}

TEST(ItemGrid, TheRightButtonOpensTheMenuWhoseRefreshRereadsTheFile) {
  AppFolder app;
  Utility utility(app);
  app.write("processes.ob", " \r\nnew.exe|C:\\new.exe\r\n");
  rightClickListRow(utility.grid(), 0);
  HWND menu = nullptr;
  ASSERT_TRUE(waitUntil([&] { return (menu = findPopupMenu(utility.id())) != nullptr; }));
  typeIntoMenu(menu, 'R');
  EXPECT_TRUE(waitUntil([&] { return utility.rowNamed("new.exe") >= 0; }));

  // As many rows again, other cells: the rows shown change in place.
  app.write("processes.ob", " \r\n \r\nother.exe|C:\\other.exe\r\n");
  SendMessageA(utility.main, WM_COMMAND, IDM_REFRESH_LIST, 0);
  const Rows expected = {kEmptyRow, kEmptyRow, {"2", "other.exe", "C:\\other.exe", "Not Running"}, kEmptyRow};
  EXPECT_EQ(utility.gridRows(), expected);
}

}  // namespace
