#pragma once
// Sends the engine's e-mails on a thread of their own, one after another, so
// that a slow or silent SMTP server never holds up watching and restarting.
// The thread runs while there is something to send: a thread costs memory
// (about a megabyte under Wine), and weeks may pass without an e-mail.
#include <windows.h>

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "monitor/mail_request.h"

namespace monitor {

class MailWorker {
 public:
  struct Outcome {
    MailRequest request;
    std::optional<std::string> failure;
  };

  // Sets `done` (an event) after each e-mail, so the engine collects it.
  MailWorker(MailSender& sender, HANDLE done);
  // Lets the e-mail under way finish and drops those still waiting.
  ~MailWorker();
  MailWorker(const MailWorker&) = delete;
  MailWorker& operator=(const MailWorker&) = delete;

  // Sends `request` after those waiting; a thread that cannot be had fails it at once.
  void post(MailRequest request);
  // The process is about to end with an e-mail still under way: its outcome
  // signals nothing any more, so the worker may be left to the end of the
  // process instead of waiting for the server.
  void abandon();
  std::vector<Outcome> takeOutcomes();

 private:
  void work();

  MailSender& sender_;
  HANDLE done_;
  std::mutex mutex_;
  std::deque<MailRequest> waiting_;
  std::vector<Outcome> outcomes_;
  bool ending_ = false;
  bool working_ = false;  // thread_ sends; once it is false, the thread only ends
  std::thread thread_;
};

}  // namespace monitor
