#include "monitor/engine_mail.h"

#include "monitor/engine_log.h"

namespace monitor {

EngineMail::EngineMail(HANDLE done, std::unique_ptr<MailSender> sender)
    : done_(done), sender_(std::move(sender)), worker_(std::make_unique<MailWorker>(*sender_, done)) {}

EngineMail::~EngineMail() {
  if (!queue_.busy()) return;
  worker_->abandon();
  static_cast<void>(worker_.release());
  static_cast<void>(sender_.release());
}

void EngineMail::send(const MailQueue::Policies& items, const Moment& now, const StopActions& actions) {
  if (auto mail = queue_.next(items, now, actions)) worker_->post(std::move(*mail));
}

void EngineMail::collect(const MailQueue::Policies& items, const Moment& now, Events& log) {
  for (const auto& outcome : worker_->takeOutcomes()) {
    queue_.finished(items, now.ms);
    log.push_back(mailEvent(outcome.request, outcome.failure, now));
  }
}

void EngineMail::finish(DWORD limitMs, const MailQueue::Policies& items, const StopActions& actions,
                        Events& log) {
  const ULONGLONG start = GetTickCount64();
  for (ULONGLONG waited = 0; queue_.busy() && waited < limitMs; waited = GetTickCount64() - start) {
    WaitForSingleObject(done_, static_cast<DWORD>(limitMs - waited));
    collect(items, clockNow(), log);
  }
  const Moment now = clockNow();
  if (const auto& item = queue_.underWay())
    log.push_back(
        now.event(EventId::EngineNote, *item,
                  "e-mail about " + *item + " still under way as the engine ends: its outcome is not known"));
  for (const auto& item : queue_.waiting(items, now.ms, actions))
    log.push_back(
        now.event(EventId::MailFailed, item, "e-mail about " + item + " not sent: the engine ended first"));
}

}  // namespace monitor
