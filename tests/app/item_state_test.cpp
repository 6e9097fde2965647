// The state cell of a grid row, from one process query and one service listing.
#include <gtest/gtest.h>

#include "app/item_state.h"

namespace {

TEST(ItemState, AnswersEveryRowFromOneQueryAndOneListing) {
  const win::RunningNames running = {"EXAMPLE.EXE", "BRENNIXMONITOR.EXE"};
  win::ServiceListing listing{true, 0, {{"Spooler", "Print Spooler", 4}, {"Spool2", "PRINT spooler", 1},
                                        {"Paused", "Paused One", 7}, {"Odd", "Odd One", 9}}};
  const win::ServiceListing failed{false, 5, {}};
  struct Case {
    const char* line;
    const win::RunningNames* running;
    const win::ServiceListing* services;
    const char* state;
  } cases[] = {
      {"example.exe|C:\\Tools\\example.exe", &running, &listing, "Running"},
      {"bRENNIXmONITOR.EXE|x", &running, &listing, "Running"},
      {"example.exe |C:\\Tools\\example.exe", &running, &listing, "Not Running"},
      {"C:\\Tools\\example.exe|C:\\Tools\\example.exe", &running, &listing, "Not Running"},
      {"example.exe|C:\\Tools\\example.exe", nullptr, &listing, "Unknown"},
      {"print spooler|[Windows Service]", nullptr, &listing, "Running"},  // the first of equal names
      {"Paused One|[WINDOWS SERVICE]", &running, &listing, "Paused"},
      {"Odd One|[Windows Service]", &running, &listing, ""},
      {"Spooler|[Windows Service]", &running, &listing, ""},  // key names are not matched
      {"Print Spooler|[Windows Service]", &running, &failed, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(app::itemState(formats::splitItem(c.line), c.running, *c.services), c.state) << c.line;
}

}  // namespace
