// The service picker: Wine's services, sorted, and the one chosen added to
// processes.ob as a service item.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/text.h"
#include "e2e/utility.h"
#include "win/services.h"

namespace {

using namespace e2e;
using namespace std::chrono_literals;

struct Picker {
  HWND window = nullptr;
  HWND grid = nullptr;
  Rows rows;  // as listed
};

// Opens the picker from the main window and waits for its list.
Picker openPicker(const Utility& utility) {
  click(utility.control(IDC_ADD_SERVICE));
  Picker p;
  p.window = waitForTopWindow(utility.id(), "#32770", "Services");
  if (!p.window) return p;
  p.grid = GetDlgItem(p.window, IDC_SERVICE_GRID);
  if (!waitUntil([&] { return listRowCount(p.grid) > 1; }, 30s)) p.window = nullptr;  // the list never came
  else p.rows = listRows(p.grid, 3);
  return p;
}

int rowOf(const Picker& p, const std::string& displayName) {
  for (std::size_t i = 0; i < p.rows.size(); ++i)
    if (p.rows[i][1] == " " + displayName) return static_cast<int>(i);
  return -1;
}

void pressOk(const Picker& p) { click(GetDlgItem(p.window, IDC_PICKER_OK)); }

TEST(ServicePicker, ListsEveryServiceSortedByNameWithItsStateBelowAnEmptyRow) {
  AppFolder app;
  Utility utility(app);
  Picker picker = openPicker(utility);
  ASSERT_NE(picker.window, nullptr);
  EXPECT_EQ(listHeaders(picker.grid), (std::vector<std::string>{"", "Service Name", "Service Status"}));

  win::ServiceListing listing = win::listServices();
  ASSERT_TRUE(listing.listed);
  std::vector<win::ServiceEntry>& services = listing.services;
  std::sort(services.begin(), services.end(), [](const auto& a, const auto& b) {
    return base::upperCase(a.displayName) < base::upperCase(b.displayName);
  });
  Rows expected = {{"", "", ""}};
  for (const auto& s : services)
    expected.push_back({"", " " + s.displayName, " " + win::serviceStateName(s.currentState)});
  EXPECT_EQ(picker.rows, expected);
  EXPECT_EQ(selectedListRow(picker.grid), -1) << "no service is chosen after the list has loaded";
  PostMessageA(picker.window, WM_COMMAND, IDC_PICKER_CANCEL, 0);
}

TEST(ServicePicker, AsksForAChoiceAndRefusesAServiceAlreadyMonitored) {
  AppFolder app;
  app.write("processes.ob", " \r\nPRINT SPOOLER|[windows service]\r\n");
  Utility utility(app);
  Picker picker = openPicker(utility);
  ASSERT_NE(picker.window, nullptr);

  auto expectNotice = [&](const std::string& text) {
    auto box = waitForMessageBox(utility.id());
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, text);
    EXPECT_EQ(box->icon, BoxIcon::Information);
    box->press("OK");
    pumpFor(200ms);
    EXPECT_TRUE(IsWindow(picker.window)) << "the picker stays open";
  };
  pressOk(picker);  // nothing chosen
  expectNotice("Please select a service or click cancel to close");
  selectListRow(picker.grid, 0);  // the empty row
  pressOk(picker);
  expectNotice("Please select a service or click cancel to close");
  ASSERT_GE(rowOf(picker, "Print Spooler"), 0);
  selectListRow(picker.grid, rowOf(picker, "Print Spooler"));
  pressOk(picker);
  expectNotice("The selected service is already being monitored");
  EXPECT_EQ(app.read("processes.ob"), " \r\nPRINT SPOOLER|[windows service]\r\n");
}

TEST(ServicePicker, AddsTheChosenServiceAndTheMainGridShowsIt) {
  AppFolder app;
  Utility utility(app);
  Picker picker = openPicker(utility);
  ASSERT_NE(picker.window, nullptr);
  const int row = rowOf(picker, "Print Spooler");
  ASSERT_GE(row, 0);
  selectListRow(picker.grid, row);
  pressOk(picker);
  ASSERT_TRUE(waitUntil([&] { return !IsWindow(picker.window); }));
  EXPECT_EQ(app.read("processes.ob"), " \r\nPrint Spooler|[Windows Service]\r\n");
  EXPECT_TRUE(waitUntil([&] { return utility.rowNamed("Print Spooler") >= 0; }, 3s));

  // A double-click on a row is OK; a missing file is created with the line.
  DeleteFileA(app.file("processes.ob").c_str());
  picker = openPicker(utility);
  ASSERT_NE(picker.window, nullptr);
  ASSERT_GE(rowOf(picker, "Event Log"), 0);
  doubleClickListRow(picker.grid, rowOf(picker, "Event Log"));
  ASSERT_TRUE(waitUntil([&] { return !IsWindow(picker.window); }));
  EXPECT_EQ(app.read("processes.ob"), "Event Log|[Windows Service]\r\n");
}

TEST(ServicePicker, CancelAndTheCloseButtonWriteNothing) {
  AppFolder app;
  Utility utility(app);
  for (bool viaCloseButton : {false, true}) {
    Picker picker = openPicker(utility);
    ASSERT_NE(picker.window, nullptr);
    ASSERT_GE(rowOf(picker, "Print Spooler"), 0);
    selectListRow(picker.grid, rowOf(picker, "Print Spooler"));
    if (viaCloseButton)
      PostMessageA(picker.window, WM_SYSCOMMAND, SC_CLOSE, 0);
    else
      click(GetDlgItem(picker.window, IDC_PICKER_CANCEL));
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(picker.window); }));
    EXPECT_EQ(app.read("processes.ob"), " \r\n");
  }
}

}  // namespace
