#pragma once
// The engine's clock and its log, log.text in the application folder: one
// line per event, "YYYY-MM-DD hh:mm:ss - " and the text, CR LF.
#include <string>
#include <vector>

#include "monitor/stop_policy.h"

namespace monitor {

// Now: the steady milliseconds and the local time as the log shows it.
Moment clockNow();

class EngineLog {
 public:
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
