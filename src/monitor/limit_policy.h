#pragma once
// When a running program item is over its limits, decided without touching
// the system: the engine samples the item's processes every second and tells
// what it read at what time; the answer is the action due, if any. Tested
// with made-up clocks.
//
// The rules, per item (the keys of monitor.ini):
// - Memory (private bytes of the item's processes, summed) and CPU (their
//   share of the whole machine) each count an excursion from the first sample
//   above the limit; once every sample has stayed above it for LimitSeconds,
//   the action is due: "restart" ends the processes (the stop is then handled
//   as any other), "alert" asks for a log line and an e-mail. Either happens
//   once per excursion. A sample at or below the limit before the action
//   starts the count again; after the action, the excursion ends once the
//   samples have stayed at or below the limit for LimitSeconds in a row. A
//   change of the limit, LimitSeconds or LimitAction starts the count afresh
//   and ends an excursion that has had its action.
// - A visible top-level window of the item's processes that has not answered
//   for NotRespondingSeconds in a row has its processes ended, once for as
//   long as it goes on not answering.
// - A sample that could not be read changes nothing; an item whose processes
//   have ended begins afresh.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/monitor_ini.h"

namespace monitor {

// The reasons a stop e-mail names through %reason%.
inline constexpr std::string_view kReasonStopped = "stopped";
inline constexpr std::string_view kReasonNotResponding = "not responding";
inline constexpr std::string_view kReasonMemory = "over its memory limit";
inline constexpr std::string_view kReasonCpu = "over its CPU limit";

// What is due when a check is exceeded.
struct LimitAction {
  bool end = false;         // end the item's processes; else only the log line and the e-mail
  std::string condition;    // "hog.exe over its memory limit (312 MB above 100 MB for 3 s)"
  std::string_view reason;  // one of the reasons above

  // The log line's text: the condition, then ": ended" or ": alert only".
  std::string line() const { return condition + (end ? ": ended" : ": alert only"); }
};

// One reading of an item's processes; nothing where it could not be had.
struct LimitSample {
  std::int64_t ms = 0;
  std::optional<std::uint64_t> privateBytes;
  std::optional<double> cpuPercent;
};

class LimitPolicy {
 public:
  // The actions due after this sample: memory's first, then CPU's.
  std::vector<LimitAction> sample(std::string_view item, const formats::ItemChecks& checks,
                                  const LimitSample& sample);
  // The hang check at `now`: `unansweredSince` is when the oldest question
  // that a window of the item has not answered was asked, or nothing.
  std::optional<LimitAction> responding(std::string_view item, const formats::ItemChecks& checks,
                                        std::int64_t now, std::optional<std::int64_t> unansweredSince);
  // The item's processes are gone: every excursion ends.
  void stopped() { *this = LimitPolicy(); }

 private:
  struct Excursion {
    // The settings it counts against: the limit, LimitSeconds and LimitAction.
    long limit = 0, seconds = 0;
    formats::LimitAction action{};
    std::optional<std::int64_t> since;  // the first sample above the limit
    std::optional<std::int64_t> under;  // after the action: the first sample at or below it since
    bool acted = false;
    // How long the limit has been exceeded when the action falls due now, else nothing.
    std::optional<std::int64_t> step(bool above, std::int64_t now, std::int64_t limitMs);
    void begin() { *this = {limit, seconds, action, std::nullopt, std::nullopt, false}; }
    // Begins afresh when the settings differ from those it counts against.
    void against(long newLimit, const formats::ItemChecks& checks);
  };
  Excursion memory_, cpu_;
  bool hangActed_ = false;
};

}  // namespace monitor
