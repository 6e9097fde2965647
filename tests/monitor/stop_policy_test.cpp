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

StopActions actions(long delaySeconds) {
  StopActions a;
  a.restart = true;
  a.restartDelayMs = delaySeconds * kSecond;
  a.log = true;
  return a;
}

TEST(StopActions, CheckBoxLinesReadAsTheUtilityShowsThem) {
  struct Case {
    const char* line;
    bool restart, other;
  } cases[] = {{" 1 ", true, true}, {"1", true, true},    {" 0 ", false, false}, {"", true, false},
               {" ", true, false},  {"abc", true, false}, {"2", false, false}};
  for (const auto& c : cases) {
    formats::Settings s;
    s.restart = s.log = s.sendEmail = s.repeatEmail = s.playSound = s.useAuthentication = Slot::text(c.line);
    const auto a = monitor::readStopActions(s);
    EXPECT_EQ(a.restart, c.restart) << '"' << c.line << '"';
    for (bool other : {a.log, a.sendEmail, a.repeatEmail, a.playSound, a.mail.useAuthentication})
      EXPECT_EQ(other, c.other) << '"' << c.line << '"';
  }
  // A file without these lines (or no file) turns everything off.
  EXPECT_FALSE(monitor::readStopActions(formats::Settings{}).restart);
}

TEST(StopActions, NumberLinesFallBackToTheirDefaults) {
  struct Case {
    const char* line;
    std::int64_t delayMs, repeatMs;
    long port;
  } cases[] = {
      {"", 10 * kSecond, 60 * kMinute, 25},      {" ", 10 * kSecond, 60 * kMinute, 25},
      {"abc", 10 * kSecond, 60 * kMinute, 25},   {" 5 ", 5 * kSecond, 5 * kMinute, 5},
      {"0", 0, 60 * kMinute, 25},                {"-3", 10 * kSecond, 60 * kMinute, 25},
      {"2.6", 3 * kSecond, 3 * kMinute, 3},      {"90000", 10 * kSecond, 60 * kMinute, 25},
      {"587", 587 * kSecond, 587 * kMinute, 587},
  };
  for (const auto& c : cases) {
    formats::Settings s;
    s.restartSeconds = s.repeatMinutes = s.smtpPort = Slot::text(c.line);
    const auto a = monitor::readStopActions(s);
    EXPECT_EQ(a.restartDelayMs, c.delayMs) << '"' << c.line << '"';
    EXPECT_EQ(a.repeatMs, c.repeatMs) << '"' << c.line << '"';
    EXPECT_EQ(a.mail.port, c.port) << '"' << c.line << '"';
  }
}

TEST(StopActions, TakesTheMailSettingsAndSplitsTheRecipients) {
  formats::Settings s;
  s.emailAddresses = Slot::text(" ops@example.org ; boss@example.org;; ");
  s.smtpServer = Slot::text(" mail.example.org ");
  s.fromAddress = Slot::text("monitor@example.org");
  s.userName = Slot::text("user");
  s.password = Slot::text(" secret ");
  s.subject = Slot::text("%process% stopped");
  s.message = Slot::text("a%20b");
  const auto a = monitor::readStopActions(s);
  EXPECT_EQ(a.mail.recipients, (std::vector<std::string>{"ops@example.org", "boss@example.org"}));
  EXPECT_EQ(a.mail.server, "mail.example.org");
  EXPECT_EQ(a.mail.from, "monitor@example.org");
  EXPECT_EQ(a.mail.password, " secret ") << "a password is taken as typed";
  EXPECT_EQ(a.mail.subject, "%process% stopped") << "the subject keeps its placeholders";
  EXPECT_EQ(a.mail.body, "a%20b") << "filled in per e-mail";
}

TEST(StopActions, BodyGetsItsLineBreaksAndPlaceholders) {
  struct Case {
    const char* stored;
    const char* body;
  } cases[] = {
      {"Hello%20%process% stopped at %time%.", "Hello\r\nworker.exe stopped at 2026-12-06 14:03:59."},
      {"%TIME% %Process%", "%TIME% %Process%"},
      {"%process%%time%", "worker.exe2026-12-06 14:03:59"},
      {"100% sure%20%20", "100% sure\r\n\r\n"},
      {"%proc%20ess%", "%proc\r\ness%"},
      {"", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(monitor::fillBody(c.stored, "worker.exe", "2026-12-06 14:03:59"), c.body) << c.stored;
}

TEST(StopActions, FileCaughtInTheMiddleOfARewriteDoesNotLookWhole) {
  std::string nineteen, eighteen;
  for (int i = 0; i < 19; ++i) nineteen += "x\r\n";
  eighteen = nineteen.substr(3);
  struct Case {
    std::string bytes;
    std::size_t lines;
    bool whole;
  } cases[] = {
      {"", 1, false},          {" \r\n", 19, true},        {" \r\nworker.exe|C:\\w", 1, false},
      {" \r\nw|C:\\w\r", 1, false}, {" \r\nw|C:\\w\r\n", 1, true}, {nineteen, 19, true},
      {eighteen, 19, false},   {nineteen + "x", 19, false},
  };
  for (const auto& c : cases) EXPECT_EQ(monitor::looksWhole(c.bytes, c.lines), c.whole) << c.bytes;
}

// Restarts the item whenever due and lets it die `ranMs` later; returns the
// pauses between each death and the next restart.
std::vector<std::int64_t> crashLoop(ItemPolicy& item, const StopActions& a, std::int64_t& now, int deaths,
                                    std::int64_t ranMs) {
  std::vector<std::string> log;
  std::vector<std::int64_t> pauses;
  for (int i = 0; i < deaths; ++i) {
    const auto due = item.nextDue(a);
    EXPECT_TRUE(due.has_value());
    EXPECT_FALSE(item.restartDue(*due - 1, a));
    EXPECT_TRUE(item.restartDue(*due, a));
    pauses.push_back(*due - now);
    now = *due;
    item.restarted(std::nullopt, at(now), a, log);
    now += ranMs;
    item.observe(false, at(now), a, log);
  }
  return pauses;
}

TEST(ItemPolicy, QuickStopsDoubleThePauseUpToTenMinutesAndCleanRunningClearsIt) {
  const auto a = actions(2);
  ItemPolicy item("crash.exe");
  std::vector<std::string> log;
  std::int64_t now = 0;
  item.observe(false, at(now), a, log);
  const std::int64_t d = 2 * kSecond;
  EXPECT_EQ(crashLoop(item, a, now, 10, 1 * kSecond),
            (std::vector<std::int64_t>{d, d + 5'000, d + 10'000, d + 20'000, d + 40'000, d + 80'000, d + 160'000,
                                       d + 320'000, d + 600'000, d + 600'000}));

  // Running for two minutes is no quick stop, but keeps the pause level.
  EXPECT_EQ(crashLoop(item, a, now, 1, 2 * kMinute), (std::vector<std::int64_t>{d + 600'000}));
  EXPECT_EQ(crashLoop(item, a, now, 2, 59 * kSecond), (std::vector<std::int64_t>{d, d + 600'000}));

  // Ten minutes of running start the pauses again from 5 s.
  EXPECT_EQ(crashLoop(item, a, now, 3, 10 * kMinute), (std::vector<std::int64_t>{d + 600'000, d, d}));
  EXPECT_EQ(item.pauseMs(), 0);
  EXPECT_EQ(crashLoop(item, a, now, 2, 0), (std::vector<std::int64_t>{d, d + 5'000}));
}

TEST(ItemPolicy, LogLinesTellTheStopsRestartsAndPauses) {
  auto a = actions(2);
  ItemPolicy item("worker.exe");
  std::vector<std::string> log;
  item.observe(false, at(0), a, log);
  item.restarted(std::nullopt, at(2000), a, log);
  item.observe(true, at(2500), a, log);
  item.observe(false, at(3000), a, log);
  item.observe(false, at(4000), a, log);  // still stopped: nothing new
  item.restarted(std::string("Access denied (error 5)"), at(10'000), a, log);
  EXPECT_EQ(log, (std::vector<std::string>{
                     "T0 - worker.exe is not running; restart in 2 s",
                     "T2 - worker.exe restarted",
                     "T3 - worker.exe stopped 1 s after its restart; restart in 7 s (delay 2 s + pause 5 s after quick stops)",
                     "T10 - worker.exe restart failed: Access denied (error 5); next try in 12 s (delay 2 s + pause 10 s "
                     "after quick stops)",
                 }));

  // Without logging nothing is written; without restarting nothing is due.
  a.log = false;
  a.restart = false;
  ItemPolicy quiet("quiet.exe");
  log.clear();
  quiet.observe(true, at(0), a, log);
  quiet.observe(false, at(kMinute), a, log);
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(quiet.stopped());
  EXPECT_FALSE(quiet.restartDue(kMinute * 100, a));
  EXPECT_EQ(quiet.nextDue(a), std::nullopt);

  a.log = true;
  ItemPolicy watched("watched.exe");
  watched.observe(true, at(0), a, log);
  watched.observe(false, at(kMinute), a, log);
  EXPECT_EQ(log.back(), "T60 - watched.exe stopped");
}

// The times at which e-mails go out while the item follows `changes`
// (time, running), checked every second up to `until`.
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
  auto a = actions(0);
  a.sendEmail = true;
  a.repeatEmail = true;
  a.repeatMs = 30 * kMinute;
  a.mail.body = "%process% down since %time%";
  const std::int64_t m = kMinute;

  // Stopped at 60 s: at once, then every 30 minutes until it runs again.
  EXPECT_EQ(mailTimes(a, {{0, true}, {60'000, false}, {65 * m, true}}, 120 * m),
            (std::vector<std::string>{"T60 worker.exe down since T60", "T1860 worker.exe down since T60",
                                      "T3660 worker.exe down since T60"}));

  // A crash loop: one e-mail per interval, each about the first stop it reports.
  std::vector<std::pair<std::int64_t, bool>> loop;
  for (std::int64_t t = 0; t < 50 * m; t += 20'000) loop.insert(loop.end(), {{t, false}, {t + 5'000, true}});
  EXPECT_EQ(mailTimes(a, loop, 60 * m),
            (std::vector<std::string>{"T0 worker.exe down since T0", "T1800 worker.exe down since T20",
                                      "T3600 worker.exe down since T1820"}));

  // Without repeating: one e-mail per stop, but no closer than the interval.
  a.repeatEmail = false;
  EXPECT_EQ(mailTimes(a, {{0, false}, {10 * m, true}, {20 * m, false}, {40 * m, true}, {50 * m, false}}, 120 * m),
            (std::vector<std::string>{"T0 worker.exe down since T0", "T1800 worker.exe down since T1200",
                                      "T3600 worker.exe down since T3000"}));

  a.sendEmail = false;
  EXPECT_TRUE(mailTimes(a, {{0, false}}, 120 * m).empty());
}

TEST(ItemPolicy, EMailLogLinesNameTheItemAndTheRecipients) {
  monitor::MailRequest mail;
  mail.item = "worker.exe";
  mail.recipients = {"ops@example.org", "boss@example.org"};
  EXPECT_EQ(monitor::mailLogLine(mail, std::nullopt, at(5000)),
            "T5 - e-mail about worker.exe sent to ops@example.org; boss@example.org");
  EXPECT_EQ(monitor::mailLogLine(mail, std::string("timed out"), at(5000)),
            "T5 - e-mail about worker.exe to ops@example.org; boss@example.org failed: timed out");
}

}  // namespace
