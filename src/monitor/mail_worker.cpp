#include "monitor/mail_worker.h"

namespace monitor {

MailWorker::MailWorker(MailSender& sender, HANDLE done)
    : sender_(sender), done_(done), thread_([this] { work(); }) {}

MailWorker::~MailWorker() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
    waiting_.clear();
  }
  posted_.notify_one();
  thread_.join();
}

void MailWorker::post(MailRequest request) {
  {
    std::lock_guard lock(mutex_);
    waiting_.push_back(std::move(request));
  }
  posted_.notify_one();
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
      std::unique_lock lock(mutex_);
      posted_.wait(lock, [&] { return ending_ || !waiting_.empty(); });
      if (ending_) return;
      request = std::move(waiting_.front());
      waiting_.pop_front();
    }
    auto failure = sender_.send(request);
    HANDLE done = nullptr;
    {
      std::lock_guard lock(mutex_);
      outcomes_.push_back({std::move(request), std::move(failure)});
      done = done_;
    }
    if (done) SetEvent(done);
  }
}

}  // namespace monitor
