// The limit checks with a made-up clock: how long a limit must be exceeded in a row, one action per
// excursion, the hang check, and how an ended or alerted item is logged and e-mailed.
#include "monitor/limit_policy.h"

#include <gtest/gtest.h>

#include "monitor/stop_policy.h"

namespace {

using namespace monitor;
using Lines = std::vector<std::string>;
constexpr std::int64_t kS = 1000;
constexpr std::uint64_t kMB = std::uint64_t{1024} * 1024;

formats::ItemChecks checks(long memoryMB, long cpuPercent, long seconds, formats::LimitAction action) {
  formats::ItemChecks c;
  c.memoryLimitMB = memoryMB;
  c.cpuLimitPercent = cpuPercent;
  c.limitSeconds = seconds;
  c.limitAction = action;
  return c;
}

// One sample a second from T0, memory in MB and CPU in percent (negative: could not be read), 'x' the
// item's processes end, 'r' the settings change (each limit 1 higher, and restart); the actions as
// "T3 <line>".
Lines run(formats::ItemChecks c, const std::vector<std::tuple<int, int, char>>& samples) {
  LimitPolicy policy;
  Lines out;
  std::int64_t t = 0;
  for (const auto& [mb, cpu, event] : samples) {
    if (event == 'x') policy.stopped();
    if (event == 'r') c = checks(c.memoryLimitMB + 1, c.cpuLimitPercent + 1, c.limitSeconds, {});
    LimitSample s;
    s.ms = t;
    if (mb >= 0) s.privateBytes = static_cast<std::uint64_t>(mb) * kMB + kMB / 2;
    if (cpu >= 0) s.cpuPercent = cpu + 0.4;
    for (const auto& action : policy.sample("hog.exe", c, s))
      out.push_back("T" + std::to_string(t / kS) + " " + action.line());
    t += kS;
  }
  return out;
}

TEST(LimitPolicy, ActsOncePerExcursionAfterTheLimitHeldInARow) {
  const auto restart = formats::LimitAction::restart, alert = formats::LimitAction::alert;
  const std::string mem = " hog.exe over its memory limit (312 MB above 100 MB for ";
  const std::string cpu = " hog.exe over its CPU limit (97% above 20% for ";
  const struct {
    formats::ItemChecks checks;
    std::vector<std::tuple<int, int, char>> samples;
    Lines actions;
  } cases[] = {
      // Three seconds above in a row; a dip under the limit starts the count again.
      {checks(100, 0, 3, restart),
       {{312, 0, 0}, {312, 0, 0}, {312, 0, 0}, {312, 0, 0}},
       {"T3" + mem + "3 s): ended"}},
      {checks(100, 0, 3, restart),
       {{312, 0, 0}, {312, 0, 0}, {99, 0, 0}, {312, 0, 0}, {312, 0, 0}, {312, 0, 0}, {312, 0, 0}},
       {"T6" + mem + "3 s): ended"}},
      // An unreadable sample neither breaks nor extends the excursion.
      {checks(100, 0, 2, restart), {{312, 0, 0}, {-1, 0, 0}, {312, 0, 0}}, {"T2" + mem + "2 s): ended"}},
      // Alerts: once per excursion, which a dip shorter than the limit's time does not end; again after
      // one as long.
      {checks(0, 20, 2, alert),
       {{0, 97, 0},
        {0, 97, 0},
        {0, 97, 0},
        {0, 5, 0},
        {0, 97, 0},
        {0, 97, 0},
        {0, 97, 0},
        {0, 5, 0},
        {0, -1, 0},
        {0, 5, 0},
        {0, 97, 0},
        {0, 97, 0},
        {0, 97, 0}},
       {"T2" + cpu + "2 s): alert only", "T12" + cpu + "2 s): alert only"}},
      // Ended once; after the processes end and the item runs again, a new excursion.
      {checks(100, 0, 1, restart),
       {{312, 0, 0}, {312, 0, 0}, {312, 0, 0}, {312, 0, 'x'}, {312, 0, 0}},
       {"T1" + mem + "1 s): ended", "T4" + mem + "1 s): ended"}},
      // Both limits at once: both are told, memory first; 0 turns a check off.
      {checks(100, 20, 1, alert),
       {{312, 97, 0}, {312, 97, 0}},
       {"T1" + mem + "1 s): alert only", "T1" + cpu + "1 s): alert only"}},
      {checks(0, 0, 1, restart), {{312, 97, 0}, {312, 97, 0}}, {}},
      // New settings mid-excursion count afresh, against the new limit; an alerted excursion ends.
      {checks(100, 0, 2, restart),
       {{312, 0, 0}, {312, 0, 'r'}, {312, 0, 0}, {312, 0, 0}},
       {"T3 hog.exe over its memory limit (312 MB above 101 MB for 2 s): ended"}},
      {checks(0, 20, 1, alert),
       {{0, 97, 0}, {0, 97, 0}, {0, 97, 'r'}, {0, 97, 0}},
       {"T1" + cpu + "1 s): alert only", "T3 hog.exe over its CPU limit (97% above 21% for 1 s): ended"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(run(c.checks, c.samples), c.actions) << testing::PrintToString(c.samples);
}

TEST(LimitPolicy, AWindowNotAnsweringEndsTheItemOnceWhileItGoesOn) {
  formats::ItemChecks c;
  c.notRespondingSeconds = 5;
  LimitPolicy policy;
  const std::optional<std::int64_t> askedAt10 = 10 * kS;
  Lines out;
  const std::pair<std::int64_t, std::optional<std::int64_t>> ticks[] = {
      {11 * kS, askedAt10},    {14 * kS, askedAt10}, {15 * kS, askedAt10}, {16 * kS, askedAt10},
      {17 * kS, std::nullopt}, {18 * kS, 18 * kS},   {23 * kS, 18 * kS}};
  for (const auto& [now, since] : ticks)
    if (auto action = policy.responding("hang.exe", c, now, since))
      out.push_back(std::to_string(now / kS) + " " + action->line());
  EXPECT_EQ(
      out, (Lines{"15 hang.exe not responding for 5 s: ended", "23 hang.exe not responding for 5 s: ended"}));
  c.notRespondingSeconds = 0;
  EXPECT_FALSE(policy.responding("hang.exe", c, 100 * kS, 0));
}

TEST(ItemPolicy, AStopTheEngineMadeAndAnAlertSayTheirReasonInTheLogAndTheEMail) {
  StopActions a;
  a.log = a.sendEmail = true;
  a.restartDelayMs = kS;
  a.repeatMs = 60 * kS;
  a.mail.body = "%process% %reason% at %time%";
  ItemPolicy item("hog.exe", false);
  Events log;
  Lines lines, mails;
  const auto at = [](std::int64_t s) { return Moment{s * kS, "T" + std::to_string(s)}; };
  const auto mail = [&](std::int64_t s) {
    if (auto m = item.mailDue(at(s), a)) {
      mails.push_back(m->body);
      item.mailFinished(s * kS);
    }
  };
  item.observe(true, at(0), a, log);
  item.alert(at(5), a, "hog.exe over its CPU limit (97% above 20% for 3 s): alert only", kReasonCpu, log);
  mail(5);
  // Ended for its memory: the stop line and the e-mail (once the interval is over) say why.
  item.ending("hog.exe over its memory limit (312 MB above 100 MB for 3 s): ended", kReasonMemory);
  item.observe(false, at(10), a, log);
  mail(10);
  mail(65);
  // Ending that came to nothing (the item seen running) leaves the next stop a plain one.
  item.restarted(std::nullopt, at(66), a, "program", log);
  item.ending("hog.exe not responding for 5 s: ended", kReasonNotResponding);
  item.observe(true, at(67), a, log);
  item.observe(false, at(200), a, log);
  mail(200);
  // With the event ids of the Event Log: over a limit, restarted, stopped.
  for (const auto& event : log)
    lines.push_back(std::to_string(static_cast<int>(event.id)) + " " + event.line());
  EXPECT_EQ(
      lines,
      (Lines{"2004 T5 - hog.exe over its CPU limit (97% above 20% for 3 s): alert only",
             "2004 T10 - hog.exe over its memory limit (312 MB above 100 MB for 3 s): ended; restart in 1 s",
             "2001 T66 - hog.exe restarted (program)", "2000 T200 - hog.exe stopped; restart in 1 s"}));
  EXPECT_EQ(mails, (Lines{"hog.exe over its CPU limit at T5", "hog.exe over its memory limit at T10",
                          "hog.exe stopped at T200"}));
}

}  // namespace
