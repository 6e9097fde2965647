#include "mail/smtp_session.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

#include "mail/connection.h"
#include "mail/message.h"
#include "mail/smtp_text.h"

namespace mail {
namespace {

// The first bytes of a reply that is not SMTP, fit to be shown.
std::string excerpt(std::string_view bytes) {
  std::string out;
  for (char c : bytes.substr(0, 60)) out += c >= ' ' && c <= '~' ? c : '?';
  return "\"" + out + (bytes.size() > 60 ? "...\"" : "\"");
}

LocalTime localTimeNow() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  TIME_ZONE_INFORMATION zone;
  const DWORD kind = GetTimeZoneInformation(&zone);
  LONG bias = zone.Bias;
  if (kind == TIME_ZONE_ID_DAYLIGHT) bias += zone.DaylightBias;
  if (kind == TIME_ZONE_ID_STANDARD) bias += zone.StandardBias;
  if (kind == TIME_ZONE_ID_INVALID) bias = 0;
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, static_cast<int>(-bias)};
}

std::uint64_t uniqueNumber() {
  static std::atomic<unsigned> counter{0};
  FILETIME time;
  GetSystemTimeAsFileTime(&time);
  const std::uint64_t ticks = (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
  return ticks ^ (std::uint64_t{GetCurrentProcessId()} << 48) ^ (std::uint64_t{++counter} << 40);
}

// "pc.corp.example", or "pc" on a computer in no DNS domain.
std::string dnsName() {
  char name[256] = {};
  DWORD size = sizeof name;
  return GetComputerNameExA(ComputerNameDnsFullyQualified, name, &size) ? std::string(name, size)
                                                                        : std::string();
}

class Dialogue {
 public:
  Dialogue(const Timeouts& timeouts, const std::function<void(const std::string&)>& status)
      : timeouts_(timeouts), status_(status), end_(Clock::now() + timeouts.total) {}

  // Each step returns false after it has put what went wrong in `problem_`.
  bool connect(const HostPort& server) {
    tell("Connecting to " + server.host + ":" + std::to_string(server.port));
    return check(connection_.open(server.host, server.port, stepEnd(timeouts_.connect)),
                 "Could not connect to " + server.host + ":" + std::to_string(server.port));
  }

  // Sends a command (nothing for the greeting) and reads its reply.
  bool command(const std::string& line, Reply& reply, const std::string& shown = {}) {
    const std::string name = shown.empty() ? line : shown;
    if (!line.empty() &&
        !check(connection_.sendAll(line + "\r\n", stepEnd(timeouts_.step)), "Sending " + name))
      return false;
    return check(readReply(reply),
                 line.empty() ? "Waiting for the server's greeting" : "Waiting for the reply to " + name);
  }

  // A command whose reply must carry `expected`.
  bool expect(const std::string& line, int expected, const std::string& shown = {}) {
    Reply reply;
    if (!command(line, reply, shown)) return false;
    if (reply.code == expected) return true;
    problem_ = "The server refused " + (shown.empty() ? line : shown) + ": " + reply.text();
    if (line.empty()) problem_ = "The server refused the connection: " + reply.text();
    return false;
  }

  bool send(std::string_view bytes, const std::string& what) {
    return check(connection_.sendAll(bytes, stepEnd(timeouts_.step)), "Sending " + what);
  }

  bool startTls(const std::string& host) {
    if (!expect("STARTTLS", 220)) return false;
    // Anything sent before the handshake came unprotected: it must not pass
    // for a reply inside the secure session.
    input_.clear();
    return secureNow(host);
  }

  // The TLS handshake, at once or after STARTTLS.
  bool secureNow(const std::string& host) {
    tell("Starting TLS");
    return check(connection_.startTls(host, stepEnd(timeouts_.step)),
                 "The secure connection to " + host + " failed");
  }

  // Says goodbye, as servers expect also after they refused something, when
  // the server is still in the dialogue.
  void quit() {
    if (!talking_) return;
    timeouts_.step = std::min<std::chrono::milliseconds>(timeouts_.step, std::chrono::seconds(3));
    Reply bye;
    command("QUIT", bye);
  }

  void tell(const std::string& text) {
    if (status_) status_(text);
  }

  bool secure() const { return connection_.secure(); }
  std::string localAddress() const { return connection_.localAddress(); }
  const std::string& problem() const { return problem_; }
  void fail(std::string text) { problem_ = std::move(text); }

 private:
  Clock::time_point stepEnd(std::chrono::milliseconds step) const {
    return std::min(Clock::now() + step, end_);
  }

  // A failed step leaves a connection that is of no more use.
  bool check(const std::string& problem, const std::string& step) {
    if (problem.empty()) return true;
    problem_ = step + ": " + problem + ".";
    talking_ = false;
    return false;
  }

  std::string readReply(Reply& reply) {
    const Clock::time_point deadline = stepEnd(timeouts_.step);
    for (;;) {
      const ReplyRead read = mail::readReply(input_);
      if (read.state == ReplyRead::Complete) {
        reply = read.reply;
        input_.erase(0, read.used);
        talking_ = true;
        return {};
      }
      if (read.state == ReplyRead::Malformed) return "the server's answer is not SMTP: " + excerpt(input_);
      if (input_.size() > kMaxReplyBytes) return "the server's answer is longer than 64 KB without ending";
      if (std::string problem = connection_.receive(input_, deadline); !problem.empty()) return problem;
    }
  }

  Timeouts timeouts_;
  const std::function<void(const std::string&)>& status_;
  Clock::time_point end_;
  Connection connection_;
  std::string input_;  // received, not yet read as a reply
  std::string problem_;
  bool talking_ = false;  // the server's last reply was SMTP and the connection holds
};

bool hello(Dialogue& d, const std::string& name, Capabilities& caps) {
  Reply reply;
  if (!d.command("EHLO " + name, reply)) return false;
  if (reply.code == 250) {
    caps = readCapabilities(reply);
    return true;
  }
  caps = {};
  return d.expect("HELO " + name, 250);
}

bool logIn(Dialogue& d, const Capabilities& caps, const MailJob& job) {
  if (!d.secure()) d.tell("Logging in without encryption: the server offers no STARTTLS");
  if (caps.authPlain) {
    const std::string token =
        base64(std::string(1, '\0') + job.userName + std::string(1, '\0') + job.password);
    return d.expect("AUTH PLAIN " + token, 235, "the user name and password (AUTH PLAIN)");
  }
  if (caps.authLogin) {
    return d.expect("AUTH LOGIN", 334) && d.expect(base64(job.userName), 334, "the user name (AUTH LOGIN)") &&
           d.expect(base64(job.password), 235, "the user name and password (AUTH LOGIN)");
  }
  d.fail("The server offers no login this program knows (AUTH LOGIN or PLAIN).");
  return false;
}

// The session up to the end of the message: empty when every recipient has it.
std::string converse(Dialogue& d, const MailJob& job, const HostPort& server,
                     const std::vector<std::string>& recipients) {
  if (!d.connect(server)) return d.problem();
  if (server.port == job.implicitTlsPort && !d.secureNow(server.host)) return d.problem();
  const std::string name = ehloName(dnsName(), d.localAddress());
  Capabilities caps;
  if (!d.expect("", 220) || !hello(d, name, caps)) return d.problem();
  if (caps.startTls && !d.secure() && (!d.startTls(server.host) || !hello(d, name, caps))) return d.problem();
  if (job.useAuthentication && !logIn(d, caps, job)) return d.problem();

  d.tell("Sending the message");
  Message message;
  message.from = job.from;
  message.to = recipients;
  message.subject = job.subject;
  message.date = messageDate(localTimeNow());
  message.messageId = messageId(uniqueNumber(), job.from);
  message.codePage = job.codePage ? job.codePage : GetACP();
  message.encoding = bodyEncoding(job.body, caps.eightBitMime);
  message.body = job.body;
  const char* body = message.encoding == BodyEncoding::EightBit ? " BODY=8BITMIME" : "";
  if (!d.expect("MAIL FROM:<" + envelopeAddress(job.from) + ">" + body, 250)) return d.problem();
  // A refused recipient does not keep the message from the others.
  std::vector<std::string> accepted;
  std::vector<Refusal> refused;
  for (const std::string& to : recipients) {
    Reply reply;
    const std::string address = envelopeAddress(to);
    if (!d.command("RCPT TO:<" + address + ">", reply)) return d.problem();
    if (reply.code == 250 || reply.code == 251)
      accepted.push_back(address);
    else
      refused.push_back({address, reply.text()});
  }
  if (accepted.empty()) return refusedRecipientsText(refused, accepted);
  if (!d.expect("DATA", 354) || !d.send(dataBody(buildMessage(message)), "the message") ||
      !d.expect(".", 250, "the message"))
    return d.problem();
  d.tell("Sent");
  return refused.empty() ? std::string() : refusedRecipientsText(refused, accepted);
}

}  // namespace

std::string deliverMessage(const MailJob& job, const Timeouts& timeouts,
                           const std::function<void(const std::string&)>& status) {
  if (std::string problem = problemBeforeSending(job.server, job.from, job.recipients, job.subject);
      !problem.empty())
    return problem;
  WinsockUse winsock;
  if (!winsock.ready()) return "The network functions of Windows could not be started.";
  Dialogue d(timeouts, status);
  std::string outcome = converse(d, job, *splitHostPort(job.server), splitAddresses(job.recipients));
  d.quit();
  return outcome;
}

}  // namespace mail
