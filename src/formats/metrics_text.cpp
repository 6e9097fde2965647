#include "formats/metrics_text.h"

#include <functional>

namespace formats {
namespace {

struct ItemMetric {
  const char* name;
  const char* type;
  const char* help;
  std::function<std::optional<std::int64_t>(const ItemMetrics&)> value;  // nothing: no sample
};

const ItemMetric kItemMetrics[] = {
    {"brennix_item_up", "gauge",
     "1 when the monitored item runs, 0 when it is stopped; absent until the engine has seen it.",
     [](const ItemMetrics& i) { return i.up ? std::optional<std::int64_t>(*i.up ? 1 : 0) : std::nullopt; }},
    {"brennix_item_stops_total", "counter", "Stops of the item seen since the engine started.",
     [](const ItemMetrics& i) { return static_cast<std::int64_t>(i.stops); }},
    {"brennix_item_restarts_total", "counter", "Successful restarts of the item by this engine.",
     [](const ItemMetrics& i) { return static_cast<std::int64_t>(i.restarts); }},
    {"brennix_item_restart_failures_total", "counter", "Failed restarts of the item by this engine.",
     [](const ItemMetrics& i) { return static_cast<std::int64_t>(i.restartFailures); }},
    {"brennix_item_last_stop_timestamp_seconds", "gauge", "Unix time of the item's last stop, 0 if none.",
     [](const ItemMetrics& i) { return i.lastStopUnix; }},
    {"brennix_item_restart_pause_seconds", "gauge",
     "The pause after quick stops that the restart now waiting adds; 0 while the item runs.",
     [](const ItemMetrics& i) { return i.pauseSeconds; }},
};

void header(std::string& out, const char* name, const char* type, const char* help) {
  out.append("# HELP ").append(name).append(" ").append(help).append("\n");
  out.append("# TYPE ").append(name).append(" ").append(type).append("\n");
}

void sample(std::string& out, const char* name, const std::string& labels, std::int64_t value) {
  out.append(name).append("{").append(labels).append("} ").append(std::to_string(value)).append("\n");
}

}  // namespace

std::string escapeLabelValue(std::string_view value) {
  std::string out = "\"";
  for (const char c : value) {
    if (c == '\\' || c == '"') {
      out.push_back('\\');
      out.push_back(c);
    } else if (c == '\n') {
      out.append("\\n");
    } else {
      out.push_back(c);
    }
  }
  return out + "\"";
}

std::string metricsText(const EngineMetrics& metrics) {
  const std::string engine = "engine=" + escapeLabelValue(metrics.engine);
  std::string out;
  for (const auto& metric : kItemMetrics) {
    header(out, metric.name, metric.type, metric.help);
    for (const auto& item : metrics.items)
      if (const auto value = metric.value(item))
        sample(out, metric.name,
               engine + ",item=" + escapeLabelValue(item.name) +
                   ",kind=" + (item.service ? "\"service\"" : "\"program\""),
               *value);
  }
  header(out, "brennix_emails_sent_total", "counter", "Stop e-mails sent by this engine.");
  sample(out, "brennix_emails_sent_total", engine, static_cast<std::int64_t>(metrics.emailsSent));
  header(out, "brennix_emails_failed_total", "counter", "Stop e-mails this engine could not send.");
  sample(out, "brennix_emails_failed_total", engine, static_cast<std::int64_t>(metrics.emailsFailed));
  header(out, "brennix_engine_info", "gauge", "Always 1; the labels name the engine's version and mode.");
  sample(
      out, "brennix_engine_info",
      engine + ",version=" + escapeLabelValue(metrics.version) + ",mode=" + escapeLabelValue(metrics.engine),
      1);
  header(out, "brennix_engine_heartbeat_timestamp_seconds", "gauge",
         "Unix time of this write: a stale value means the engine no longer runs.");
  sample(out, "brennix_engine_heartbeat_timestamp_seconds", engine, metrics.heartbeatUnix);
  return out;
}

}  // namespace formats
