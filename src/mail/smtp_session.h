#pragma once
// One complete SMTP session that hands a single message to a server.
#include <chrono>
#include <cstdint>
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
  unsigned codePage = 0;                // of the texts; 0 for the system's ANSI code page
  std::uint16_t implicitTlsPort = 465;  // the port that speaks TLS from the first byte (RFC 8314)
};

// How long each part of a session may take. A dead server, a silent one or
// one that never ends its reply ends the session within `total`.
struct Timeouts {
  std::chrono::milliseconds connect{15000};  // to have the connection accepted
  std::chrono::milliseconds step{20000};     // for each reply and each send
  std::chrono::milliseconds total{50000};    // for the whole session
};

// Runs the dialogue: TLS at once on the implicit-TLS port, the greeting, EHLO
// (HELO when refused), STARTTLS when offered, the login when asked for, the
// envelope, the message to the recipients the server accepts, QUIT (also after
// a refusal). Returns the empty text when every recipient got the message,
// otherwise what went wrong or who was refused. `status` hears of each stage.
// Blocks its thread for the time of the session.
std::string deliverMessage(const MailJob& job, const Timeouts& timeouts,
                           const std::function<void(const std::string&)>& status);

}  // namespace mail
