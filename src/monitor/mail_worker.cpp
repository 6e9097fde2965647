#include "monitor/mail_worker.h"

#include <system_error>

namespace monitor {

MailWorker::MailWorker(MailSender& sender, HANDLE done) : sender_(sender), done_(done) {}

MailWorker::~MailWorker() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
    waiting_.clear();
  }
  if (thread_.joinable()) thread_.join();
}

void MailWorker::post(MailRequest request) {
  std::unique_lock lock(mutex_);
  waiting_.push_back(std::move(request));
  if (working_) return;
  // The last thread has ended or is about to: it is joined, and one started for this e-mail.
  if (thread_.joinable()) {
    lock.unlock();
    thread_.join();
    lock.lock();
  }
  try {
    thread_ = std::thread([this] { work(); });
    working_ = true;
  } catch (const std::system_error& error) {
    outcomes_.push_back(
        {std::move(waiting_.back()), "no thread to send it on: " + std::string(error.what())});
    waiting_.pop_back();
    if (done_) SetEvent(done_);
  }
}

void MailWorker::abandon() {
  std::lock_guard lock(mutex_);
  done_ = nullptr;
}

std::vector<MailWorker::Outcome> MailWorker::takeOutcomes() {
  std::lock_guard lock(mutex_);
  return std::exchange(outcomes_, {});
}

void MailWorker::work() {
  for (;;) {
    MailRequest request;
    {
      std::lock_guard lock(mutex_);
      if (ending_ || waiting_.empty()) {
        working_ = false;
        return;
      }
      request = std::move(waiting_.front());
      waiting_.pop_front();
    }
    auto failure = sender_.send(request);
    // Set under the lock: once abandon() has returned, the engine may close the event.
    std::lock_guard lock(mutex_);
    outcomes_.push_back({std::move(request), std::move(failure)});
    if (done_) SetEvent(done_);
  }
}

}  // namespace monitor
