// The engine's decisions with made-up times: how settings.ob lines read, the
// pauses after quick stops, the e-mail schedule, and the texts it writes.
#include <gtest/gtest.h>

#include "monitor/stop_policy.h"

namespace {

using formats::Slot;
using monitor::ItemPolicy;
using monitor::Moment;
using monitor::StopActions;

constexpr std::int64_t kSecond = 1000, kMinute = 60 * kSecond;

Moment at(std::int64_t ms) { return {ms, "T" + std::to_string(ms / kSecond)}; }

TEST(StopActions, SettingsLinesReadAsTheUtilityShowsThemOrTakeTheirDefaults) {
  struct Flag { const char* line; bool restart, other; } flags[] = {
      {" 1 ", true, true}, {"1", true, true}, {" 0 ", false, false}, {"", true, false}, {" ", true, false},
      {"abc", true, false}, {"2", false, false}};
  for (const auto& c : flags) {
    formats::Settings s;
    s.restart = s.log = s.sendEmail = s.repeatEmail = s.playSound = s.useAuthentication = Slot::text(c.line);
    const auto a = monitor::readStopActions(s);
    EXPECT_EQ(a.restart, c.restart) << '"' << c.line << '"';
    for (bool other : {a.log, a.sendEmail, a.repeatEmail, a.playSound, a.mail.useAuthentication})
      EXPECT_EQ(other, c.other) << '"' << c.line << '"';
  }
  EXPECT_FALSE(monitor::readStopActions(formats::Settings{}).restart) << "no line at all";

  const std::int64_t s10 = 10 * kSecond, m60 = 60 * kMinute;
  struct Number { const char* line; std::int64_t delayMs, repeatMs; long port; } numbers[] = {
      {"", s10, m60, 25}, {"abc", s10, m60, 25}, {" 5 ", 5 * kSecond, 5 * kMinute, 5}, {"0", 0, m60, 25},
      {"-3", s10, m60, 25}, {"2.6", 3 * kSecond, 156 * kSecond, 3}, {"90000", s10, m60, 25},
      {"0.05", 0, 3 * kSecond, 25},
      {"587", 587 * kSecond, 587 * kMinute, 587}};
  for (const auto& c : numbers) {
    formats::Settings s;
    s.restartSeconds = s.repeatMinutes = s.smtpPort = Slot::text(c.line);
    const auto a = monitor::readStopActions(s);
    EXPECT_EQ(a.restartDelayMs, c.delayMs) << '"' << c.line << '"';
    EXPECT_EQ(a.repeatMs, c.repeatMs) << '"' << c.line << '"';
    EXPECT_EQ(a.mail.port, c.port) << '"' << c.line << '"';
  }

  formats::Settings s;
  s.emailAddresses = Slot::text(" ops@example.org ; boss@example.org;; ");
  EXPECT_EQ(monitor::readStopActions(s).mail.recipients,
            (std::vector<std::string>{"ops@example.org", "boss@example.org"}));
}

TEST(StopActions, BodyGetsItsLineBreaksAndPlaceholders) {
  struct Case { const char* stored; const char* body; } cases[] = {
      {"Hi%20%process% stopped at %time%.", "Hi\r\nworker.exe stopped at 2026-12-06 14:03:59."},
      {"%TIME% %Process% 100%", "%TIME% %Process% 100%"}, {"%process%%time%", "worker.exe2026-12-06 14:03:59"},
      {"%proc%20ess%", "%proc\r\ness%"}};
  for (const auto& c : cases)
    EXPECT_EQ(monitor::fillBody(c.stored, "worker.exe", "2026-12-06 14:03:59"), c.body) << c.stored;
}

TEST(StopActions, FileCaughtInTheMiddleOfARewriteDoesNotLookWhole) {
  std::string nineteen;
  for (int i = 0; i < 19; ++i) nineteen += "x\r\n";
  struct Case { std::string bytes; std::size_t lines; bool whole; } cases[] = {
      {"", 1, false}, {" \r\n", 19, true}, {" \r\nw|C:\\w", 1, false}, {" \r\nw|C:\\w\r", 1, false},
      {" \r\nw|C:\\w\r\n", 1, true}, {nineteen, 19, true}, {nineteen.substr(3), 19, false}};
  for (const auto& c : cases) EXPECT_EQ(monitor::looksWhole(c.bytes, c.lines), c.whole) << c.bytes;
}

// Restarts the item whenever due and lets it die `ranMs` later; returns the
// pauses between each death and the next restart.
std::vector<std::int64_t> crashLoop(ItemPolicy& item, const StopActions& a, std::int64_t& now, int deaths,
                                    std::int64_t ranMs) {
  std::vector<std::string> log;
  std::vector<std::int64_t> pauses;
  for (int i = 0; i < deaths; ++i) {
    const auto due = item.nextDue(a).value();
    EXPECT_FALSE(item.restartDue(due - 1, a));
    pauses.push_back(due - now);
    item.restarted(std::nullopt, at(now = due), a, log);
    item.observe(false, at(now += ranMs), a, log);
  }
  return pauses;
}

TEST(ItemPolicy, QuickStopsDoubleThePauseUpToTenMinutesAndCleanRunningClearsIt) {
  const std::int64_t d = 2 * kSecond;
  StopActions a;
  a.restartDelayMs = d;
  ItemPolicy item("crash.exe");
  std::vector<std::string> log;
  std::int64_t now = 0;
  item.observe(false, at(now), a, log);
  EXPECT_EQ(crashLoop(item, a, now, 10, 1 * kSecond),
            (std::vector<std::int64_t>{d, d + 5'000, d + 10'000, d + 20'000, d + 40'000, d + 80'000, d + 160'000,
                                       d + 320'000, d + 600'000, d + 600'000}));
  // Running for two minutes is no quick stop, but keeps the pause level.
  EXPECT_EQ(crashLoop(item, a, now, 1, 2 * kMinute), (std::vector<std::int64_t>{d + 600'000}));
  EXPECT_EQ(crashLoop(item, a, now, 2, 59 * kSecond), (std::vector<std::int64_t>{d, d + 600'000}));
  // Ten minutes of running start the pauses again from 5 s.
  EXPECT_EQ(crashLoop(item, a, now, 3, 10 * kMinute), (std::vector<std::int64_t>{d + 600'000, d, d}));
  EXPECT_EQ(crashLoop(item, a, now, 2, 0), (std::vector<std::int64_t>{d, d + 5'000}));
}

TEST(ItemPolicy, LogLinesTellTheStopsRestartsAndPauses) {
  StopActions a;
  a.restartDelayMs = 2 * kSecond;
  a.log = true;
  ItemPolicy item("worker.exe");
  std::vector<std::string> log;
  item.observe(false, at(0), a, log);
  item.restarted(std::nullopt, at(2000), a, log);
  for (auto [ms, running] : {std::pair{2500, true}, {3000, false}, {4000, false}}) item.observe(running, at(ms), a, log);
  item.restarted(std::string("Access denied (error 5)"), at(10'000), a, log);
  a.restart = false;
  for (auto [ms, running] : {std::pair{11'000, true}, {60'000, false}}) item.observe(running, at(ms), a, log);
  EXPECT_FALSE(item.restartDue(kMinute * 100, a));
  EXPECT_EQ(log, (std::vector<std::string>{
                     "T0 - worker.exe is not running; restart in 2 s",
                     "T2 - worker.exe restarted",
                     "T3 - worker.exe stopped 1 s after its restart; restart in 7 s (delay 2 s + pause 5 s after quick stops)",
                     "T10 - worker.exe restart failed: Access denied (error 5); next try in 12 s (delay 2 s + pause 10 s "
                     "after quick stops)",
                     "T60 - worker.exe stopped",
                 }));
}

// The e-mails sent while the item follows `changes` (time, running), checked
// every second up to `until`: when, and the stop time each one names.
std::vector<std::string> mailTimes(const StopActions& a, std::vector<std::pair<std::int64_t, bool>> changes,
                                   std::int64_t until) {
  ItemPolicy item("worker.exe");
  std::vector<std::string> log, sent;
  std::size_t next = 0;
  for (std::int64_t t = 0; t <= until; t += kSecond) {
    while (next < changes.size() && changes[next].first <= t) item.observe(changes[next++].second, at(t), a, log);
    if (auto mail = item.mailDue(at(t), a)) sent.push_back(at(t).stamp + " " + mail->body);
  }
  return sent;
}

TEST(ItemPolicy, EMailsGoAtTheStopRepeatWhileStoppedAndKeepToTheInterval) {
  StopActions a;
  a.sendEmail = a.repeatEmail = true;
  a.repeatMs = 30 * kMinute;
  a.mail.body = "since %time%";
  const std::int64_t m = kMinute;
  // At once, then every 30 minutes until it runs again.
  EXPECT_EQ(mailTimes(a, {{0, true}, {60'000, false}, {65 * m, true}}, 120 * m),
            (std::vector<std::string>{"T60 since T60", "T1860 since T60", "T3660 since T60"}));

  // A crash loop: one e-mail per interval, each about the first stop it reports.
  std::vector<std::pair<std::int64_t, bool>> loop;
  for (std::int64_t t = 0; t < 50 * m; t += 20'000) loop.insert(loop.end(), {{t, false}, {t + 5'000, true}});
  EXPECT_EQ(mailTimes(a, loop, 60 * m),
            (std::vector<std::string>{"T0 since T0", "T1800 since T20", "T3600 since T1820"}));

  // Without repeating: one e-mail per stop, but no closer than the interval.
  a.repeatEmail = false;
  EXPECT_EQ(mailTimes(a, {{0, false}, {10 * m, true}, {20 * m, false}, {40 * m, true}, {50 * m, false}}, 120 * m),
            (std::vector<std::string>{"T0 since T0", "T1800 since T1200", "T3600 since T3000"}));
  a.sendEmail = false;
  EXPECT_TRUE(mailTimes(a, {{0, false}}, 120 * m).empty());
}

}  // namespace
