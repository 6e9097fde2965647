#pragma once
// One complete SMTP session that hands a single message to a server.
#include <chrono>
#include <functional>
#include <string>

namespace mail {

struct MailJob {
  std::string server;  // "host" or "host:port"; port 25 when none is given
  std::string from;
  std::string subject;
  std::string body;
  std::string recipients;  // ";"-separated
  bool useAuthentication = false;
  std::string userName;
  std::string password;
};

// How long each part of a session may take. A dead server, a silent one or
// one that never ends its reply ends the session within `total`.
struct Timeouts {
  std::chrono::milliseconds connect{15000};  // to have the connection accepted
  std::chrono::milliseconds step{20000};     // for each reply and each send
  std::chrono::milliseconds total{50000};    // for the whole session
};

// Runs the dialogue: greeting, EHLO (HELO when refused), STARTTLS when offered,
// the login when asked for, the envelope, the message, QUIT. Returns the empty
// text when the server took the message, otherwise what went wrong. `status`
// hears of each stage. Blocks its thread for the time of the session.
std::string deliverMessage(const MailJob& job, const Timeouts& timeouts,
                           const std::function<void(const std::string&)>& status);

}  // namespace mail
