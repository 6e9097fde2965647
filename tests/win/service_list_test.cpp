// The service list and the lookups by display name, against Wine's Service
// Control Manager.
#include <gtest/gtest.h>

#include "base/text.h"
#include "e2e/driver.h"
#include "win/services.h"

namespace {

std::vector<win::ServiceEntry> services() {
  win::ServiceListing listing = win::listServices();
  EXPECT_TRUE(listing.listed);
  EXPECT_EQ(listing.error, 0u);
  return listing.services;
}

TEST(FindService, MatchesDisplayNamesIgnoringCaseAndTheFirstOneDecides) {
  std::vector<win::ServiceEntry> list = {
      {"Spooler", "Print Spooler", 1}, {"Other", "print spooler", 4}, {"Paused", "Paused One", 7}};
  ASSERT_NE(win::findService(list, "PRINT SPOOLER"), nullptr);
  EXPECT_EQ(win::findService(list, "PRINT SPOOLER")->serviceName, "Spooler");
  EXPECT_EQ(win::findService(list, "Spooler"), nullptr) << "key names are not display names";
  EXPECT_EQ(win::findService(list, "Print Spooler "), nullptr);
  // States outside 1 to 7 have no name.
  for (int code : {-1, 0, 8}) EXPECT_EQ(win::serviceStateName(code), "") << code;
  EXPECT_EQ(win::serviceStateName(7), "Paused");
}

TEST(ListServices, ListsWinesServicesWithTheirStates) {
  auto list = services();
  ASSERT_GT(list.size(), 5u);
  bool running = false, stopped = false;
  for (const auto& s : list) {
    EXPECT_FALSE(s.serviceName.empty());
    EXPECT_FALSE(win::serviceStateName(s.currentState).empty()) << s.serviceName;
    running |= s.currentState == 4;
    stopped |= s.currentState == 1;
  }
  EXPECT_TRUE(running);
  EXPECT_TRUE(stopped);
  auto* spooler = win::findService(list, "print spooler");
  ASSERT_NE(spooler, nullptr);
  EXPECT_EQ(spooler->serviceName, "Spooler");
  EXPECT_EQ(spooler->displayName, "Print Spooler");
}

TEST(ServiceLookups, GiveTheStateOfTheServiceWithThatDisplayName) {
  // Services may change state while the test runs: a lookup must agree with
  // the listing made just before it or the one just after it.
  for (const auto& s : services()) {
    std::string lower = s.displayName;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    auto beforeList = services();
    auto before = win::findService(beforeList, lower);
    std::string state = win::serviceStateText(win::listServices(), lower);
    bool running = win::IsServiceRunning(lower);
    auto afterList = services();
    auto after = win::findService(afterList, lower);
    ASSERT_TRUE(before && after) << lower;
    EXPECT_TRUE(state == win::serviceStateName(before->currentState) ||
                state == win::serviceStateName(after->currentState))
        << lower << ": " << state;
    EXPECT_TRUE(running == (before->currentState == 4) || running == (after->currentState == 4)) << lower;
  }
  EXPECT_EQ(win::serviceStateText(win::listServices(), "Spooler"), "") << "found by key name only";
  EXPECT_FALSE(win::IsServiceRunning("No Such Service"));
  EXPECT_FALSE(e2e::findMessageBox(GetCurrentProcessId())) << "a successful listing shows nothing";
}

}  // namespace
