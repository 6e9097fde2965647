#include "monitor/limit_policy.h"

#include <cmath>

#include "base/text.h"

namespace monitor {
namespace {

constexpr std::uint64_t kMB = std::uint64_t{1024} * 1024;

LimitAction over(std::string_view item, std::string_view reason, const std::string& reading,
                 const std::string& limit, std::int64_t forMs, formats::LimitAction action) {
  const bool end = action == formats::LimitAction::restart;
  return {end,
          std::string(item) + " " + std::string(reason) + " (" + reading + " above " + limit + " for " +
              base::wholeSeconds(forMs) + ")",
          reason};
}

}  // namespace

std::optional<std::int64_t> LimitPolicy::Excursion::step(bool above, std::int64_t now, std::int64_t limitMs) {
  if (!above) {
    // Before the action a dip starts the count again; after it, the excursion
    // ends only once the reading has stayed down as long as it had to stay up,
    // so that a reading that wavers about the limit is not told of again.
    if (!acted) {
      begin();
    } else if (!under) {
      under = now;
    }
    if (under && now - *under >= limitMs) begin();
    return std::nullopt;
  }
  under.reset();
  if (!since) since = now;
  if (acted || now - *since < limitMs) return std::nullopt;
  acted = true;
  return now - *since;
}

void LimitPolicy::Excursion::against(long newLimit, const formats::ItemChecks& checks) {
  if (newLimit == limit && checks.limitSeconds == seconds && checks.limitAction == action) return;
  limit = newLimit;
  seconds = checks.limitSeconds;
  action = checks.limitAction;
  begin();
}

std::vector<LimitAction> LimitPolicy::sample(std::string_view item, const formats::ItemChecks& checks,
                                             const LimitSample& sample) {
  const std::int64_t limitMs = std::int64_t{checks.limitSeconds} * 1000;
  std::vector<LimitAction> due;
  memory_.against(checks.memoryLimitMB, checks);
  cpu_.against(checks.cpuLimitPercent, checks);
  if (sample.privateBytes && checks.memoryLimitMB > 0) {
    const auto limit = static_cast<std::uint64_t>(checks.memoryLimitMB) * kMB;
    if (const auto forMs = memory_.step(*sample.privateBytes > limit, sample.ms, limitMs))
      due.push_back(over(item, kReasonMemory, std::to_string(*sample.privateBytes / kMB) + " MB",
                         std::to_string(checks.memoryLimitMB) + " MB", *forMs, checks.limitAction));
  }
  if (sample.cpuPercent && checks.cpuLimitPercent > 0) {
    const double percent = *sample.cpuPercent;
    if (const auto forMs =
            cpu_.step(percent > static_cast<double>(checks.cpuLimitPercent), sample.ms, limitMs))
      due.push_back(over(item, kReasonCpu, std::to_string(std::lround(percent)) + "%",
                         std::to_string(checks.cpuLimitPercent) + "%", *forMs, checks.limitAction));
  }
  return due;
}

std::optional<LimitAction> LimitPolicy::responding(std::string_view item, const formats::ItemChecks& checks,
                                                   std::int64_t now,
                                                   std::optional<std::int64_t> unansweredSince) {
  if (!unansweredSince || checks.notRespondingSeconds <= 0) {
    hangActed_ = false;
    return std::nullopt;
  }
  const std::int64_t forMs = now - *unansweredSince;
  if (hangActed_ || forMs < std::int64_t{checks.notRespondingSeconds} * 1000) return std::nullopt;
  hangActed_ = true;
  return LimitAction{
      true, std::string(item) + " " + std::string(kReasonNotResponding) + " for " + base::wholeSeconds(forMs),
      kReasonNotResponding};
}

}  // namespace monitor
