#pragma once
// The engine's clock and its log, log.text in the application folder: one
// line per event, "YYYY-MM-DD hh:mm:ss - " and the text, CR LF. Before a
// write would take log.text past 5 MB, it becomes log.old.text (in place of
// an older one) and a new log.text begins, so the log and Notepad stay quick
// after months; a log.text that cannot be renamed (open in a program that
// does not allow it) is written on.
#include <cstdint>
#include <string>
#include <vector>

#include "monitor/stop_policy.h"

namespace monitor {

inline constexpr std::uint64_t kLogLimitBytes = std::uint64_t{5} * 1024 * 1024;

// Now: the steady milliseconds and the local time as the log shows it.
Moment clockNow();

class EngineLog {
 public:
  // `path` ends in ".text"; the older lines go to the same name ending in ".old.text".
  explicit EngineLog(std::string path) : path_(std::move(path)) {}

  // The lines waiting to be written; the decisions add theirs here.
  std::vector<std::string>& pending() { return pending_; }
  void add(const Moment& now, const std::string& text) { pending_.push_back(now.stamp + " - " + text); }
  // Appends the waiting lines in one write, so each is there whole or not at
  // all. A log that cannot be written is passed over: watching goes on.
  void write();

 private:
  std::string path_;
  std::vector<std::string> pending_;
};

}  // namespace monitor
