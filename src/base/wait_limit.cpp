#include "base/wait_limit.h"

#include <cmath>

namespace base {

WaitLimit makeWaitLimit(double timeOfDay, int timeoutSeconds) {
  WaitLimit limit;
  limit.start = std::round(timeOfDay);
  if (timeoutSeconds <= 0) return limit;
  limit.set = true;
  limit.end = limit.start + timeoutSeconds;
  if (limit.end >= kSecondsPerDay) {
    limit.end = limit.start - kSecondsPerDay + timeoutSeconds;
    limit.afterMidnight = true;
  }
  return limit;
}

bool limitReached(const WaitLimit& limit, double timeOfDay) {
  if (!limit.set || timeOfDay <= limit.end) return false;
  // Before midnight the clock stands above `end` from the start on.
  return !limit.afterMidnight || timeOfDay < limit.start;
}

}  // namespace base
