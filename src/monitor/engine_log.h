#pragma once
// The engine's clock and its log: every event goes to the Application log of
// the Windows Event Log (source "BrennixMonitor"), and, when logging is on, to
// log.text in the application folder: one line per event,
// "YYYY-MM-DD hh:mm:ss - " and the text, CR LF. Before a
// write would take log.text past 5 MB, it becomes log.old.text (in place of
// an older one) and a new log.text begins, so the log and Notepad stay quick
// after months; a log.text that cannot be renamed (open in a program that
// does not allow it) is written on.
#include <cstdint>
#include <string>
#include <vector>

#include "monitor/stop_policy.h"
#include "win/event_log.h"

namespace monitor {

inline constexpr std::uint64_t kLogLimitBytes = std::uint64_t{5} * 1024 * 1024;

// Now: the steady milliseconds, the local time as the log shows it, and the Unix time.
Moment clockNow();

class EngineLog {
 public:
  // `path` ends in ".text"; the older lines go to the same name ending in
  // ".old.text". `engine` ("program" or "service") is named in each event.
  EngineLog(std::string path, std::string engine);

  // The events waiting to be written; the decisions add theirs here.
  Events& pending() { return pending_; }
  // `kept`: see EngineEvent::kept.
  void add(const Moment& now, const std::string& text, EventId id = EventId::EngineNote, bool kept = false) {
    pending_.push_back(now.event(id, {}, text));
    pending_.back().kept = kept;
  }
  // Reports the waiting events, and appends their lines to log.text in one
  // write when `toFile` (after the kept lines of earlier writes), so each is
  // there whole or not at all. A log that cannot be written is passed over:
  // watching goes on.
  void write(bool toFile);

 private:
  void append(std::string bytes);

  std::string path_;
  std::string engine_;
  win::EventSource source_;
  Events pending_;
  std::string held_;  // the kept lines that wait for logging to be turned on
};

}  // namespace monitor
