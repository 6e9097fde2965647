#pragma once
// The engine's state in the text format that the textfile collectors of
// windows_exporter and node_exporter read: for each metric a "# HELP" and a
// "# TYPE" line, then its samples, each series labelled with the engine that
// writes it; UTF-8 text, LF line ends, a final LF.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace formats {

// One monitored item as the engine sees it; texts in UTF-8.
struct ItemMetrics {
  std::string name;  // as processes.ob names it
  bool service = false;
  std::optional<bool> up;  // nothing while it is not known: its brennix_item_up is left out
  std::uint64_t stops = 0, restarts = 0, restartFailures = 0;
  std::int64_t lastStopUnix = 0;  // 0 when it has not stopped
  std::int64_t pauseSeconds = 0;  // the pause after quick stops now in force
};

struct EngineMetrics {
  std::string engine;  // "program" or "service"
  std::string version;
  std::uint64_t emailsSent = 0, emailsFailed = 0;
  std::int64_t heartbeatUnix = 0;  // when the file is written
  std::vector<ItemMetrics> items;
};

// A label value between double quotes: backslash, double quote and line feed
// escaped as \\, \" and \n.
std::string escapeLabelValue(std::string_view value);

// The whole file.
std::string metricsText(const EngineMetrics& metrics);

}  // namespace formats
