#pragma once
// The e-mail component the engine hands its stop e-mails to.
#include <memory>

#include "monitor/mail_request.h"

namespace monitor {

// The sender of this build: the one place where the SMTP component is chosen.
std::unique_ptr<MailSender> makeMailSender();

}  // namespace monitor
