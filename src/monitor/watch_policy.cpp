#include "monitor/watch_policy.h"

#include <algorithm>

namespace monitor {

void ReadSchedule::changed(std::int64_t now) {
  if (!firstChange_) firstChange_ = now;
  settled_ = std::min(now + kSettleMs, *firstChange_ + kLongestSettleMs);
}

void ReadSchedule::retryAt(std::int64_t at) { retry_ = retry_ ? std::min(*retry_, at) : at; }

void ReadSchedule::read() { firstChange_ = settled_ = retry_ = std::nullopt; }

std::optional<std::int64_t> ReadSchedule::due() const {
  if (settled_ && retry_) return std::min(*settled_, *retry_);
  return settled_ ? settled_ : retry_;
}

std::optional<std::string> FaultNote::update(const std::optional<std::string>& failure) {
  if (failure.has_value() == failing_) return std::nullopt;
  failing_ = failure.has_value();
  if (!failing_) return subject_ + " can be " + verb_ + " again";
  return subject_ + " cannot be " + verb_ + " (" + *failure + "): " + meanwhile_;
}

}  // namespace monitor
