// The windows' rules that need no window: the grid's state cells, the tray tip, the picker's
// order, the check boxes' values in settings.ob, "minimize" and the single-instance decision.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/action_panel.h"
#include "app/item_state.h"
#include "app/main_window.h"
#include "app/service_picker.h"
#include "app/tray_icon.h"
#include "win/single_instance.h"

namespace {

TEST(ItemState, AnswersEveryRowFromOneProcessQueryAndOneServiceListing) {
  const win::RunningNames running = {"EXAMPLE.EXE"};
  const win::ServiceListing listing{true, 0, {{"Spooler", "Print Spooler", 7}}}, failed{false, 5, {}};
  const std::tuple<const char*, const win::RunningNames*, const win::ServiceListing*, const char*> cases[] = {
      {"eXAMPLE.exe|C:\\Tools\\example.exe", &running, &listing, "Running"},
      {"example.exe |C:\\Tools\\example.exe", &running, &listing, "Not Running"},
      {"C:\\Tools\\example.exe|C:\\Tools\\example.exe", &running, &listing, "Not Running"},
      {"example.exe|C:\\Tools\\example.exe", nullptr, &listing, "Unknown"},  // the query failed
      {"print SPOOLER|[WINDOWS SERVICE]", nullptr, &listing, "Paused"},
      {"Print Spooler|[Windows Service]", &running, &failed, ""}};
  for (const auto& [line, names, services, state] : cases)
    EXPECT_EQ(app::itemState(formats::splitItem(line), names, *services), state) << line;
}

TEST(TrayTip, IsCutTo63CharactersThenANulThenBlanks) {
  struct {
    std::string text, shown;
  } cases[] = {{app::kTrayTip, "Monitor System Processes and Restart if Necessary - Right click"},
               {"short", "short"},
               {std::string(63, 'x'), std::string(63, 'x')},
               {std::string(64, 'y'), std::string(63, 'y')}};
  for (const auto& c : cases) {
    const auto field = app::fitTrayTip(c.text);
    EXPECT_EQ(std::string(field.data()), c.shown);
    for (std::size_t i = c.shown.size() + 1; i < field.size(); ++i) ASSERT_EQ(field[i], ' ') << c.text;
    EXPECT_EQ(std::string(app::makeTrayRecord(nullptr, 1, 7, WM_MOUSEMOVE, nullptr, c.text).szTip), c.shown);
  }
}

TEST(ServicePickerOrder, EmptyFirstThenNumbersByValueThenTextIgnoringCase) {
  // The name cell is a blank and the display name: " 2" reads as a number.
  std::vector<win::ServiceEntry> services = {
      {"", "abc", 1}, {"", "10", 1}, {"", "Abd", 1}, {"", "2", 1}, {"", "ABC", 4}};
  std::vector<std::string> order;
  for (const auto& s : app::pickerOrder(services))
    order.push_back(s.displayName + "/" + std::to_string(s.currentState));
  EXPECT_EQ(order, (std::vector<std::string>{"2/1", "10/1", "abc/1", "ABC/4", "Abd/1"}))
      << "equal names keep the system's order";
}

TEST(CheckBoxes, TakeTheirStateFromTheLineAndSaveOnlyCheckedAsOne) {
  using formats::Slot;
  struct {
    Slot line;
    std::optional<UINT> state;
  } cases[] = {{Slot::text(" 1 "), BST_CHECKED},       {Slot::text("1"), BST_CHECKED},
               {Slot::text("0"), BST_UNCHECKED},       {Slot(), BST_UNCHECKED},
               {Slot::text(" 2 "), BST_INDETERMINATE}, {Slot::text(" "), std::nullopt},
               {Slot::text("3"), std::nullopt},        {Slot::text("-1"), std::nullopt},
               {Slot::text("yes"), std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(app::checkStateOf(c.line), c.state) << c.line.asText();
  EXPECT_EQ(app::slotOfCheckState(BST_CHECKED).fileLine() + app::slotOfCheckState(BST_UNCHECKED).fileLine() +
                app::slotOfCheckState(BST_INDETERMINATE).fileLine(),
            " 1  0  0 ")
      << "a greyed box is saved as 0";
}

TEST(StartUp, OnlyMinimizeAsTheWholeArgumentInAnyCaseStartsHidden) {
  for (const char* hidden : {"minimize", "MiNiMiZe"}) EXPECT_TRUE(app::startsMinimized(hidden)) << hidden;
  for (const char* shown : {"", "minimize now", " minimize", "minimise"})
    EXPECT_FALSE(app::startsMinimized(shown)) << shown;
}

TEST(SingleInstance, AMarkThatExistsOrMayNotBeOpenedMeansACopyRuns) {
  EXPECT_TRUE(win::anotherCopyHoldsMark(true, ERROR_ALREADY_EXISTS));
  EXPECT_TRUE(win::anotherCopyHoldsMark(false, ERROR_ACCESS_DENIED)) << "the first copy runs elevated";
  EXPECT_FALSE(win::anotherCopyHoldsMark(true, ERROR_SUCCESS));
  EXPECT_FALSE(win::anotherCopyHoldsMark(false, ERROR_INVALID_HANDLE)) << "no mark at all: run";
}

}  // namespace
