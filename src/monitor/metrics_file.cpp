#include "monitor/metrics_file.h"

#include <windows.h>

#include "formats/metrics_text.h"
#include "monitor/item_control.h"
#include "win/files.h"

#ifndef BRENNIX_VERSION
#define BRENNIX_VERSION "0"
#endif

namespace monitor {

void MetricsFile::setFolder(const std::string& folder) {
  std::string path;
  if (!folder.empty()) {
    const bool slash = folder.back() == '\\' || folder.back() == '/';
    path = folder + (slash ? "" : "\\") + "brennix_monitor_" + kindName(kind_) + ".prom";
  }
  if (path == path_) return;
  // Only the file this engine wrote: a second engine program of the folder,
  // which waits for the duty, leaves the first one's file alone.
  if (!written_.empty()) DeleteFileA(path_.c_str());
  written_.clear();
  path_ = path;
  fault_ = FaultNote(path_, "written", "trying again every second");
  changed_ = true;
  lastWrite_.reset();
}

void MetricsFile::count(const Events& events) {
  for (const auto& event : events) {
    const auto item = [&]() -> Counters& { return items_[{event.item, event.service}]; };
    if (event.stop) {
      ++item().stops;
      item().lastStopUnix = event.unixSeconds;
    }
    switch (event.id) {
      case EventId::ItemRestarted:
        ++item().restarts;
        break;
      case EventId::RestartFailed:
        ++item().failures;
        break;
      case EventId::MailSent:
        ++sent_;
        break;
      case EventId::MailFailed:
        ++failed_;
        break;
      default:
        break;
    }
  }
}

std::optional<std::string> MetricsFile::update(const Items& items, const Moment& now) {
  if (path_.empty()) return std::nullopt;
  formats::EngineMetrics metrics{kindName(kind_), BRENNIX_VERSION, sent_, failed_, 0, {}};
  for (const auto& item : items) {
    const auto counted = items_.find({item->name, item->service});
    const Counters counters = counted == items_.end() ? Counters{} : counted->second;
    const auto& policy = item->policy;
    metrics.items.push_back({win::utf8FromAnsi(item->name), item->service,
                             policy.known() ? std::optional(!policy.stopped()) : std::nullopt, counters.stops,
                             counters.restarts, counters.failures, counters.lastStopUnix,
                             policy.pauseInForceMs() / 1000});
  }
  const std::string state = formats::metricsText(metrics);
  if (state != written_) changed_ = true;
  const auto due = dueAt();
  if (due && now.ms < *due) return std::nullopt;

  metrics.heartbeatUnix = now.unixSeconds;
  const DWORD error = win::replaceFile(path_, formats::metricsText(metrics));
  lastWrite_ = now.ms;
  if (error == NO_ERROR) written_ = state;
  changed_ = error != NO_ERROR;  // a write that failed is tried again a second later
  return fault_.update(error == NO_ERROR ? std::nullopt : std::optional(failureText(error)));
}

void MetricsFile::disown() {
  written_.clear();
  changed_ = true;
  lastWrite_.reset();
}

std::optional<std::int64_t> MetricsFile::dueAt() const {
  if (path_.empty()) return std::nullopt;
  if (!lastWrite_) return 0;
  return *lastWrite_ + (changed_ ? kMetricsLeastGapMs : kMetricsHeartbeatMs);
}

}  // namespace monitor
