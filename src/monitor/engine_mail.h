#pragma once
// The engine's stop e-mails: handed one at a time to the mail thread, the one
// due first as the mail queue decides (see mail_queue.h), each outcome logged;
// when the engine ends, the one under way is awaited a while and each one
// still waiting is logged as not sent.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "monitor/mail_queue.h"
#include "monitor/mail_worker.h"

namespace monitor {

class EngineMail {
 public:
  // `done` is set after each e-mail, so the engine collects its outcome.
  EngineMail(HANDLE done, std::unique_ptr<MailSender> sender);
  // An e-mail still under way is not waited for: its thread and sender are
  // left to the end of the process, which follows.
  ~EngineMail();
  EngineMail(const EngineMail&) = delete;
  EngineMail& operator=(const EngineMail&) = delete;

  // The e-mail due first goes to the sender, when the sender is free.
  void send(const MailQueue::Policies& items, const Moment& now, const StopActions& actions);
  // The outcomes that have come in: their items count their intervals from
  // `now`, and their events go to `log`.
  void collect(const MailQueue::Policies& items, const Moment& now, Events& log);
  // When an e-mail is due next; none while one is under way.
  std::optional<std::int64_t> dueAt(const MailQueue::Policies& items, const StopActions& actions) const {
    return queue_.dueAt(items, actions);
  }
  bool busy() const { return queue_.busy(); }
  // The engine ends: waits up to `limitMs` for the e-mail under way, then
  // logs what became of it and of those waiting.
  void finish(DWORD limitMs, const MailQueue::Policies& items, const StopActions& actions, Events& log);

 private:
  HANDLE done_;
  MailQueue queue_;
  std::unique_ptr<MailSender> sender_;
  std::unique_ptr<MailWorker> worker_;  // last: its thread ends first
};

}  // namespace monitor
