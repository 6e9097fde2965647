#pragma once
// The time limit of a wait, measured on the time of day: seconds since
// midnight, as the clock on the wall shows them. A limit that crosses
// midnight is kept as "after midnight" and ends only once midnight is past.
namespace base {

inline constexpr double kSecondsPerDay = 86400.0;

struct WaitLimit {
  bool set = false;            // false: no limit
  double start = 0;            // time of day at the start, whole seconds
  double end = 0;              // time of day at which the wait gives up
  bool afterMidnight = false;  // `end` lies on the next day
};

// A limit of `timeoutSeconds` from `timeOfDay`; 0 or less means no limit.
WaitLimit makeWaitLimit(double timeOfDay, int timeoutSeconds);

// True when the wait has to stop at this time of day.
bool limitReached(const WaitLimit& limit, double timeOfDay);

}  // namespace base
