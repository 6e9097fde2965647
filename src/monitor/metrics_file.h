#pragma once
// The engine's metrics for the textfile collector of windows_exporter (or
// node_exporter): brennix_monitor_program.prom or brennix_monitor_service.prom
// in the metrics folder, every series labelled with the engine. The counters
// count this engine's own actions, from the events it reports. The file is
// written at each change of state, at most once a second, and at least every
// 15 s (its heartbeat shows that the engine lives), each time whole under a
// new name; an engine that ends removes it.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "monitor/duty_policy.h"
#include "monitor/engine_event.h"
#include "monitor/item_watch.h"
#include "monitor/watch_policy.h"

namespace monitor {

inline constexpr std::int64_t kMetricsLeastGapMs = 1'000;
inline constexpr std::int64_t kMetricsHeartbeatMs = 15'000;

class MetricsFile {
 public:
  explicit MetricsFile(EngineKind kind) : kind_(kind) {}
  ~MetricsFile() { setFolder({}); }
  MetricsFile(const MetricsFile&) = delete;
  MetricsFile& operator=(const MetricsFile&) = delete;

  // The folder to write into; the empty text turns the file off. A file
  // written into another folder before is removed.
  void setFolder(const std::string& folder);
  // Counts the engine's own stops, restarts and e-mails among `events`.
  void count(const Events& events);
  // Writes the file when it is due; the log line of a failure that begins or
  // ends, if any.
  std::optional<std::string> update(const Items& items, const Moment& now);
  // The engine no longer acts (another engine of its kind does, and writes
  // the file): this one neither writes it nor removes it at its end.
  void disown();
  // When the file is due next; nothing while it is off.
  std::optional<std::int64_t> dueAt() const;

 private:
  struct Counters {
    std::uint64_t stops = 0, restarts = 0, failures = 0;
    std::int64_t lastStopUnix = 0;
  };

  EngineKind kind_;
  std::string path_;                                        // empty: off
  std::map<std::pair<std::string, bool>, Counters> items_;  // by name, and service or not
  std::uint64_t sent_ = 0, failed_ = 0;
  std::string written_;  // the last text written, without its heartbeat; empty until one is
  bool changed_ = true;
  std::optional<std::int64_t> lastWrite_;
  FaultNote fault_{"", "", ""};
};

}  // namespace monitor
