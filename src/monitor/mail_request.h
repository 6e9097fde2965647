#pragma once
// One stop e-mail as the engine decides it, and the component that sends it.
// No system headers: the decisions are tested without Windows.
#include <optional>
#include <string>
#include <vector>

namespace monitor {

struct MailRequest {
  std::string item;  // the stopped item's name, for the log line
  std::string server;
  long port = 25;
  std::string from;
  bool useAuthentication = false;
  std::string userName;
  std::string password;
  std::vector<std::string> recipients;
  std::string subject;
  std::string body;  // line breaks as CR LF, placeholders filled in
};

// Sends one e-mail and says how it went: nothing when it was sent, else the
// reason it was not, as the log line shows it. Called on the engine's mail
// thread, one request at a time, so a slow server never delays a restart.
class MailSender {
 public:
  virtual ~MailSender() = default;
  virtual std::optional<std::string> send(const MailRequest& request) = 0;
};

}  // namespace monitor
