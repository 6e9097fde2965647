#pragma once
// The mail component of the utility: a window sets the eight values of a
// message once or before each send, calls send(), and hears of the outcome
// through the events.
//
//   mail::SendMail mail;
//   mail.SendFailed = [](const std::string& why) { ... };
//   mail.SendSuccesful = [] { ... };
//   mail.smtpServer = "mail.example.com";  // or "mail.example.com:587"
//   ...
//   mail.send();
#include <cstdint>
#include <functional>
#include <string>

#include "mail/smtp_session.h"

namespace mail {

class SendMail {
 public:
  // The values of the next send; each keeps its value until it is set again.
  std::string smtpServer;  // "host" or "host:port"; port 25 when none is given
  std::string from;
  std::string subject;
  std::string message;     // plain text in the ANSI code page
  std::string recipients;  // addresses separated by ";"
  bool useAuthentication = false;
  std::string userName;
  std::string password;

  unsigned codePage = 0;                // of the texts; 0 for the system's ANSI code page
  std::uint16_t implicitTlsPort = 465;  // the port where TLS comes before SMTP
  Timeouts timeouts;

  // Events, all raised on the thread that called send(), before it returns.
  std::function<void(const std::string& explanation)> SendFailed;
  std::function<void()> SendSuccesful;
  std::function<void(const std::string& status)> Status;

  // Sends the message. The session runs on a thread of its own; meanwhile
  // this thread keeps handling its window events (a quit request is kept for
  // the main loop). Returns once SendSuccesful or SendFailed has been raised,
  // exactly one of them. A send asked for while one runs fails at once.
  void send();

  bool sending() const { return sending_; }

 private:
  bool sending_ = false;
};

}  // namespace mail
