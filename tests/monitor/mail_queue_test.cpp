// The stop e-mails with a sender that takes 50 s for each (a silent server),
// on a made-up clock: one e-mail under way, at most one waiting per item, made
// from the item's state when the sender takes it, and the repeat interval
// counted from each outcome.
#include "monitor/mail_queue.h"

#include <gtest/gtest.h>
#include <map>
#include <set>

namespace {

using namespace monitor;
constexpr std::int64_t kS = 1000;

Moment at(std::int64_t ms) { return {ms, "T" + std::to_string(ms / kS)}; }

TEST(MailQueue, ASilentServerLeavesOneEMailPerItemAndEachWaitsTheIntervalFromTheLastOutcome) {
  StopActions a;
  a.restartDelayMs = 0;
  a.sendEmail = a.repeatEmail = true;
  a.repeatMs = 60 * kS;
  a.mail.recipients = {"ops@example.org"};
  std::vector<ItemPolicy> items{ItemPolicy("crash1.exe"), ItemPolicy("crash2.exe"), ItemPolicy("crash3.exe"),
                                ItemPolicy("down.exe"), ItemPolicy("back.exe")};
  MailQueue::Policies policies;
  for (auto& item : items) policies.push_back(&item);
  Events log;
  MailQueue queue;
  std::map<std::string, std::int64_t> outcome;  // the last outcome about each item
  std::vector<std::string> sent;
  std::int64_t busyUntil = 0;
  for (std::int64_t t = 0; t <= 20 * 60 * kS; t += kS) {
    // All stop at 0; the crash loops are restarted when due and end again a
    // second later; down.exe stays down; back.exe runs again by hand at 30 s,
    // before its e-mail's turn.
    for (auto& item : items) {
      const bool crashes = item.name().starts_with("crash");
      if (t == 0 || (crashes && !item.stopped())) item.observe(false, at(t), a, log);
      if (crashes && item.restartDue(t, a)) item.restarted(std::nullopt, at(t), a, "program", log);
    }
    if (t == 30 * kS) items[4].observe(true, at(t), a, log);
    if (t == 10 * 60 * kS) a.mail.recipients = {"night@example.org"};

    if (queue.busy() && t >= busyUntil) {
      outcome[*queue.underWay()] = t;
      queue.finished(policies, t);
    }
    const auto waiting = queue.waiting(policies, t, a);
    EXPECT_EQ(std::set<std::string>(waiting.begin(), waiting.end()).size(), waiting.size());
    if (auto mail = queue.next(policies, at(t), a)) {
      EXPECT_FALSE(queue.next(policies, at(t), a)) << "one e-mail under way";
      if (outcome.count(mail->item)) {
        EXPECT_GE(t - outcome[mail->item], a.repeatMs) << mail->item << " at " << t;
      }
      sent.push_back(at(t).stamp + " " + mail->item + " to " + mail->recipients.front());
      busyUntil = t + 50 * kS;
    }
  }
  // One every 50 s, the items in turn, none about back.exe; those waiting at
  // the change of settings go to the new address.
  ASSERT_EQ(sent.size(), 25u);
  EXPECT_EQ(sent[3], "T150 down.exe to ops@example.org");
  EXPECT_EQ(sent[4], "T200 crash1.exe to ops@example.org");
  for (std::size_t i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(sent[i].find("back.exe"), std::string::npos) << sent[i];
    EXPECT_NE(sent[i].find(i < 12 ? "ops@" : "night@"), std::string::npos) << sent[i];
  }
}

}  // namespace
