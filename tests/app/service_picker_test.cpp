// The service picker: Wine's services, sorted, and the one chosen added to processes.ob as a service item.
#include <gtest/gtest.h>

#include "e2e/utility.h"
#include "win/services.h"

namespace {

using namespace e2e;

struct Picker {
  HWND window = nullptr;
  HWND grid = nullptr;
  Rows rows;  // as listed

  int rowOf(const std::string& displayName) const {
    for (std::size_t i = 0; i < rows.size(); ++i)
      if (rows[i][1] == " " + displayName) return static_cast<int>(i);
    return -1;
  }
  void choose(const std::string& displayName) const { selectListRow(grid, rowOf(displayName)); }
  void pressOk() const { click(GetDlgItem(window, IDC_PICKER_OK)); }
};

// Opens the picker from the main window and waits for its list.
Picker openPicker(const Utility& utility) {
  Picker p;
  p.window = utility.openDialog(IDC_ADD_SERVICE, "Services");
  if (!p.window) return p;
  p.grid = GetDlgItem(p.window, IDC_SERVICE_GRID);
  if (!waitUntil([&] { return listRowCount(p.grid) > 1; }, 30s))
    p.window = nullptr;  // the list never came
  else
    p.rows = listRows(p.grid, 3);
  return p;
}

TEST(ServicePicker, ListsTheServicesSortedAndAddsTheChosenOne) {
  AppFolder app;
  app.write("processes.ob", " \r\nPRINT SPOOLER|[windows service]\r\n");
  Utility utility(app);
  Picker picker = openPicker(utility);
  ASSERT_NE(picker.window, nullptr);
  // The empty row first, then every service: a blank and its name, a blank and its state.
  ASSERT_EQ(picker.rows.size(), win::listServices().services.size() + 1);
  EXPECT_EQ(picker.rows[0], (std::vector<std::string>{"", "", ""}));
  EXPECT_EQ(picker.rows[picker.rowOf("Print Spooler")][2],
            " " + win::serviceStateText(win::listServices(), "Print Spooler"));
  EXPECT_EQ(selectedListRow(picker.grid), -1) << "no service is chosen after the list has loaded";

  // Nothing chosen, the empty row, a service already monitored: the picker says so and stays.
  for (int emptyRow : {-1, 0}) {
    if (emptyRow == 0) selectListRow(picker.grid, 0);
    picker.pressOk();
    answerBox(utility.id(), "Please select a service or click cancel to close", BoxIcon::Information);
  }
  pressKeys("p r i n t");  // the name that begins so
  EXPECT_TRUE(waitUntil([&] { return selectedListRow(picker.grid) == picker.rowOf("Print Spooler"); }));
  picker.pressOk();
  answerBox(utility.id(), "The selected service is already being monitored", BoxIcon::Information);
  pumpFor(200ms);
  ASSERT_TRUE(IsWindow(picker.window));
  EXPECT_EQ(app.read("processes.ob"), " \r\nPRINT SPOOLER|[windows service]\r\n");

  // A double-click is OK; the line goes in and the main grid shows it.
  ASSERT_GE(picker.rowOf("Event Log"), 0);
  doubleClickListRow(picker.grid, picker.rowOf("Event Log"));
  ASSERT_TRUE(waitUntil([&] { return !IsWindow(picker.window); }));
  EXPECT_EQ(app.read("processes.ob"),
            " \r\nPRINT SPOOLER|[windows service]\r\nEvent Log|[Windows Service]\r\n");
  EXPECT_TRUE(waitUntil([&] { return utility.rowNamed("Event Log") >= 0; }, 3s));
}

TEST(ServicePicker, CancelAndTheCloseButtonWriteNothingAndOkCreatesAMissingFile) {
  AppFolder app;
  Utility utility(app);
  DeleteFileA(app.file("processes.ob").c_str());
  for (int way : {IDC_PICKER_CANCEL, 0, IDC_PICKER_OK}) {
    Picker picker = openPicker(utility);
    ASSERT_NE(picker.window, nullptr);
    picker.choose("Print Spooler");
    if (way)
      click(GetDlgItem(picker.window, way));
    else
      PostMessageA(picker.window, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(picker.window); }));
    EXPECT_EQ(app.exists("processes.ob"), way == IDC_PICKER_OK);
  }
  EXPECT_EQ(app.read("processes.ob"), "Print Spooler|[Windows Service]\r\n");
}

}  // namespace
