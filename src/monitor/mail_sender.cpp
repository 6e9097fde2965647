#include "monitor/mail_sender.h"

#include "mail/send_mail.h"

namespace monitor {
namespace {

// The stop e-mails go through the same SMTP component as the utility's test
// e-mail, on the port of the settings unless the server names its own.
class SmtpMailSender : public MailSender {
 public:
  std::optional<std::string> send(const MailRequest& request) override {
    mail::SendMail m;
    m.smtpServer = request.server.find(':') == std::string::npos
                       ? request.server + ":" + std::to_string(request.port)
                       : request.server;
    m.from = request.from;
    m.subject = request.subject;
    m.message = request.body;
    for (const auto& to : request.recipients) m.recipients += (m.recipients.empty() ? "" : ";") + to;
    m.useAuthentication = request.useAuthentication;
    m.userName = request.userName;
    m.password = request.password;
    std::optional<std::string> failure;
    m.SendFailed = [&](const std::string& why) { failure = why; };
    m.send();
    return failure;
  }
};

}  // namespace

std::unique_ptr<MailSender> makeMailSender() { return std::make_unique<SmtpMailSender>(); }

}  // namespace monitor
