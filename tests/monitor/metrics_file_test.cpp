// The engine's metrics file: a program item and a service item of the same name keep their own
// counters, and an item whose state is not known yet has no brennix_item_up.
#include "monitor/metrics_file.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace {

using namespace monitor;

TEST(MetricsFile, KeepsItemsOfOneNameApartAndLeavesOutAStateNotSeenYet) {
  support::TempFolder folder;
  Items items;
  for (const bool service : {false, true}) items.push_back(std::make_unique<Item>("same", "", service));
  Events log;
  items[1]->policy.observe(false, {0, "T0", 1}, StopActions{}, log);  // only the service has been seen
  MetricsFile metrics(EngineKind::Service);
  metrics.setFolder(folder.path());
  metrics.count(log);
  metrics.update(items, {0, "T0", 5});
  const std::string text = folder.read("brennix_monitor_service.prom"),
                    series = "{engine=\"service\",item=\"same\",kind=";
  for (const auto& line : {"brennix_item_stops_total" + series + "\"program\"} 0\n",
                           "brennix_item_stops_total" + series + "\"service\"} 1\n",
                           "brennix_item_up" + series + "\"service\"} 0\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << text;
  EXPECT_EQ(text.find("brennix_item_up" + series + "\"program\""), std::string::npos) << text;
}

}  // namespace
