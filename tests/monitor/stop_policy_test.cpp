// The engine's decisions with made-up times: how settings.ob lines read, the
// pauses after quick stops, the e-mail schedule and body, new settings
// reaching a stopped item.
#include "monitor/stop_policy.h"

#include <gtest/gtest.h>

namespace {

using namespace monitor;
using formats::Slot;
using Lines = std::vector<std::string>;
using Times = std::vector<std::int64_t>;

constexpr std::int64_t kS = 1000, kMin = 60 * kS, s10 = 10 * kS, m60 = 60 * kMin;

Moment at(std::int64_t ms) { return {ms, "T" + std::to_string(ms / kS)}; }

TEST(StopActions, SettingsLinesReadAsTheUtilityShowsThemOrTakeTheirDefaults) {
  struct Case {
    const char* line;
    bool restart, other;
    std::int64_t delayMs, repeatMs;
    long port;
  } cases[] = {{" 1 ", true, true, kS, kMin, 1},           {"1", true, true, kS, kMin, 1},
               {" 0 ", false, false, 0, m60, 25},          {"", true, false, s10, m60, 25},
               {" ", true, false, s10, m60, 25},           {"abc", true, false, s10, m60, 25},
               {"-3", false, false, s10, m60, 25},         {"90000", false, false, s10, m60, 25},
               {" 5 ", false, false, 5 * kS, 5 * kMin, 5}, {"2.6", false, false, 3 * kS, 156 * kS, 3},
               {"0.05", false, false, 0, 3 * kS, 25}};
  for (const auto& c : cases) {
    formats::Settings s;
    s.restart = s.log = s.sendEmail = s.repeatEmail = s.playSound = s.useAuthentication = Slot::text(c.line);
    s.restartSeconds = s.repeatMinutes = s.smtpPort = Slot::text(c.line);
    const auto a = readStopActions(s);
    for (bool other : {a.log, a.sendEmail, a.repeatEmail, a.playSound, a.mail.useAuthentication})
      EXPECT_EQ(std::tuple(a.restart, other, a.restartDelayMs, a.repeatMs, a.mail.port),
                std::tuple(c.restart, c.other, c.delayMs, c.repeatMs, c.port))
          << '"' << c.line << '"';
  }
  formats::Settings s;
  EXPECT_FALSE(readStopActions(s).restart) << "no line at all";
  s.emailAddresses = Slot::text(" ops@example.org ; boss@example.org;; ");
  EXPECT_EQ(readStopActions(s).mail.recipients, (Lines{"ops@example.org", "boss@example.org"}));
}

// Restarts the item when due and lets it die `ranMs` later: the pauses (s) before the restarts.
Times crashLoop(ItemPolicy& item, const StopActions& a, std::int64_t& now, int deaths, std::int64_t ranMs) {
  Events log;
  Times pauses;
  for (int i = 0; i < deaths; ++i) {
    const auto due = item.nextDue(a).value();
    EXPECT_FALSE(item.restartDue(due - 1, a));
    pauses.push_back((due - now) / kS);
    item.restarted(std::nullopt, at(now = due), a, "program", log);
    item.observe(false, at(now += ranMs), a, log);
  }
  return pauses;
}

TEST(ItemPolicy, QuickStopsDoubleThePauseUpToTenMinutesAndCleanRunningClearsIt) {
  StopActions a;
  a.restartDelayMs = 0;
  ItemPolicy item("crash.exe", false);
  Events log;
  std::int64_t now = 0;
  item.observe(false, at(now), a, log);
  EXPECT_EQ(crashLoop(item, a, now, 10, kS), (Times{0, 5, 10, 20, 40, 80, 160, 320, 600, 600}));
  // Running for two minutes is no quick stop, but keeps the pause level.
  EXPECT_EQ(crashLoop(item, a, now, 1, 2 * kMin), (Times{600}));
  EXPECT_EQ(crashLoop(item, a, now, 2, 59 * kS), (Times{0, 600}));
  // Ten minutes of running start the pauses again from 5 s.
  EXPECT_EQ(crashLoop(item, a, now, 3, 10 * kMin), (Times{600, 0, 0}));
  EXPECT_EQ(crashLoop(item, a, now, 2, 0), (Times{0, 5}));
  // A failed restart is a quick stop too; the pause comes on top of the delay.
  a.log = true;
  a.restartDelayMs = 2 * kS;
  item.restarted("Access denied (error 5)", at(now = item.nextDue(a).value()), a, "service", log);
  EXPECT_EQ(log.back().line(),
            at(now).stamp +
                " - crash.exe restart failed (service): Access denied (error 5); next try in 22 s "
                "(delay 2 s + pause 20 s after quick stops)");
}

// The item follows `events` (time, what: 's' it stops, 'r' it is found
// running, 'n' the settings `b` take effect), checked every second up to
// `until`, the engine restarting it when due: the restarts ("T12 restart")
// and the e-mails ("T60 " and the body), in order.
Lines timeline(StopActions a, const StopActions& b, std::vector<std::pair<std::int64_t, char>> events,
               std::int64_t until) {
  ItemPolicy item("worker.exe", false);
  Events log;
  Lines out;
  std::size_t next = 0;
  for (std::int64_t t = 0; t <= until; t += kS) {
    for (; next < events.size() && events[next].first <= t; ++next)
      events[next].second == 'n' ? void(a = b) : item.observe(events[next].second == 'r', at(t), a, log);
    if (item.restartDue(t, a)) {
      out.push_back(at(t).stamp + " restart");
      item.restarted(std::nullopt, at(t), a, "program", log);
    }
    if (auto mail = item.mailDue(at(t), a)) {
      out.push_back(at(t).stamp + " " + mail->body);
      item.mailFinished(t);
    }
  }
  return out;
}

TEST(ItemPolicy, EMailsGoAtTheStopRepeatWhileStoppedAndKeepToTheInterval) {
  StopActions a;
  a.restart = false;
  a.sendEmail = a.repeatEmail = true;
  a.repeatMs = 30 * kMin;
  a.mail.body = "%process%%20since %time% %TIME% 100%";  // the placeholders as written only
  // At once, then every 30 minutes until it runs again.
  const std::string body = " worker.exe\r\nsince T60 %TIME% 100%";
  EXPECT_EQ(timeline(a, a, {{0, 'r'}, {kMin, 's'}, {65 * kMin, 'r'}}, 120 * kMin),
            (Lines{"T60" + body, "T1860" + body, "T3660" + body}));
  a.mail.body = "since %time%";
  // Without repeating: one e-mail per stop, but no closer than the interval.
  a.repeatEmail = false;
  EXPECT_EQ(timeline(a, a, {{0, 's'}, {10 * kMin, 'r'}, {20 * kMin, 's'}, {40 * kMin, 'r'}, {50 * kMin, 's'}},
                     120 * kMin),
            (Lines{"T0 since T0", "T1800 since T1200", "T3600 since T3000"}));
  // A stop over before its e-mail could go (another instance found) is not
  // reported; one ended by the engine's restart is, as in a crash loop.
  EXPECT_EQ(timeline(a, a, {{0, 's'}, {10 * kMin, 'r'}, {20 * kMin, 's'}, {25 * kMin, 'r'}}, 120 * kMin),
            (Lines{"T0 since T0"}));
  a.restart = true;
  a.restartDelayMs = kMin;
  EXPECT_EQ(timeline(a, a, {{0, 's'}, {10 * kMin, 's'}}, 40 * kMin),
            (Lines{"T0 since T0", "T60 restart", "T660 restart", "T1800 since T600"}));
  a.sendEmail = false;
  EXPECT_EQ(timeline(a, a, {{0, 's'}}, 120 * kMin), (Lines{"T60 restart"}));
}

TEST(ItemPolicy, NewSettingsReachAnItemAlreadyStoppedCountingFromTheStop) {
  StopActions off, on, day;
  off.restart = false;
  on.sendEmail = true;
  on.mail.body = "since %time%";
  day.restartDelayMs = 86'400 * kS;
  // Restarting and e-mail turned on 30 s into a stop: both at once.
  EXPECT_EQ(timeline(off, on, {{0, 's'}, {30 * kS, 'n'}}, kMin), (Lines{"T30 restart", "T30 since T0"}));
  // A day's delay cut to 10 s during the stop; restarting turned off during it.
  EXPECT_EQ(timeline(day, StopActions{}, {{0, 's'}, {5 * kS, 'n'}}, kMin), (Lines{"T10 restart"}));
  EXPECT_EQ(timeline(day, StopActions{}, {{0, 's'}, {20 * kS, 'n'}}, kMin), (Lines{"T20 restart"}));
  EXPECT_TRUE(timeline(StopActions{}, off, {{0, 's'}, {5 * kS, 'n'}}, kMin).empty());
}

}  // namespace
