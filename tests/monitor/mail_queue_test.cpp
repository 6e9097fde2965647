// The stop e-mails with a sender that holds each until the test lets it go, 50 s on a made-up clock (a
// silent server): one e-mail with the sender, at most one waiting per item, made from the item's state
// when the sender takes it, and the repeat interval counted from each outcome.
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <mutex>

#include "monitor/engine_mail.h"
#include "win/unique_resource.h"

namespace {

using namespace monitor;
constexpr std::int64_t kS = 1000, kMinute = 60 * kS;

Moment at(std::int64_t ms) { return {ms, "T" + std::to_string(ms / kS)}; }

class HeldSender : public MailSender {
 public:
  std::optional<std::string> send(const MailRequest& request) override {
    std::unique_lock lock(mutex_);
    held_ = request.item + " to " + request.recipients.front();
    ++calls_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return !held_ || open_; });
    held_.reset();
    return "no answer";
  }
  // The e-mail just handed over, once the mail thread has brought it.
  std::string taken() {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(5), [&] { return held_.has_value(); });
    return held_.value_or("nothing");
  }
  void release(bool forGood = false) {
    const std::lock_guard lock(mutex_);
    held_.reset();
    open_ = forGood;
    changed_.notify_all();
  }
  int calls() {
    const std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::optional<std::string> held_;
  bool open_ = false;
  int calls_ = 0;
};

TEST(MailQueue, ASilentServerLeavesOneEMailPerItemAndEachWaitsTheIntervalFromTheLastOutcome) {
  StopActions a;
  a.restartDelayMs = 0;
  a.sendEmail = a.repeatEmail = true;
  a.repeatMs = kMinute;
  a.mail.recipients = {"ops@example.org"};
  std::vector<ItemPolicy> items{ItemPolicy("crash1.exe", false), ItemPolicy("crash2.exe", false),
                                ItemPolicy("crash3.exe", false), ItemPolicy("down.exe", false),
                                ItemPolicy("back.exe", false)};
  MailQueue::Policies policies;
  for (auto& item : items) policies.push_back(&item);
  Events log;
  const win::unique_handle done(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  auto owned = std::make_unique<HeldSender>();
  HeldSender& sender = *owned;
  EngineMail mail(done.get(), std::move(owned));
  const std::shared_ptr<void> letGo(nullptr, [&](void*) { sender.release(true); });
  std::map<std::string, std::int64_t> outcome;  // the last outcome about each item
  std::vector<std::string> sent;
  std::string underWay;
  std::int64_t busyUntil = 0;
  for (std::int64_t t = 0; t <= 20 * kMinute; t += kS) {
    // All stop at 0; the crash loops are restarted when due and end again a
    // second later; down.exe stays down; back.exe runs again by hand at 30 s,
    // before its e-mail's turn.
    for (auto& item : items) {
      const bool crashes = item.name().starts_with("crash");
      if (t == 0 || (crashes && !item.stopped())) item.observe(false, at(t), a, log);
      if (crashes && item.restartDue(t, a)) item.restarted(std::nullopt, at(t), a, "program", log);
    }
    if (t == 30 * kS) items[4].observe(true, at(t), a, log);
    if (t == 10 * kMinute) a.mail.recipients = {"night@example.org"};

    if (mail.busy() && t >= busyUntil) {
      sender.release();
      ASSERT_EQ(WaitForSingleObject(done.get(), 5000), WAIT_OBJECT_0);
      mail.collect(policies, at(t), log);
      ASSERT_FALSE(mail.busy());
      outcome[underWay] = t;
    }
    // A second call, and those while one is under way, hand over nothing.
    const bool wasBusy = mail.busy();
    mail.send(policies, at(t), a);
    mail.send(policies, at(t), a);
    if (wasBusy || !mail.busy()) continue;
    const std::string taken = sender.taken();
    underWay = taken.substr(0, taken.find(' '));
    if (outcome.count(underWay)) {
      EXPECT_GE(t - outcome[underWay], a.repeatMs) << underWay << " at " << t;
    }
    sent.push_back(at(t).stamp + " " + taken);
    busyUntil = t + 50 * kS;
  }
  EXPECT_EQ(sender.calls(), static_cast<int>(sent.size()));
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
