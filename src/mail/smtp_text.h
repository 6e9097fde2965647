#pragma once
// The text side of an SMTP session, without any system dependency: reading
// the server's replies, building what goes on the wire, and the checks made
// before a message is sent.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mail {

// A reply holds at most this many bytes, all its lines together; a server that
// sends more without ending the reply is not speaking SMTP.
inline constexpr std::size_t kMaxReplyBytes = std::size_t{64} * 1024;

struct Reply {
  int code = 0;                    // the three digits, 250 for "250 OK"
  std::vector<std::string> lines;  // the text of each line after the code
  // The reply's text as one line, for explanations: "550 No such user".
  std::string text() const;
};

struct ReplyRead {
  enum State { Incomplete, Complete, Malformed } state = Incomplete;
  Reply reply;
  std::size_t used = 0;  // Complete: the bytes of the input that the reply took
};

// Reads the first reply at the start of `input`. A reply is one or more lines
// of three digits each, "250-" on every line but the last, "250 " (or the bare
// code) on the last; all lines carry the same code. Lines end with CR LF, a
// lone LF is accepted.
ReplyRead readReply(std::string_view input);

// What a server offers in its answer to EHLO.
struct Capabilities {
  bool startTls = false;
  bool authLogin = false;
  bool authPlain = false;
};
Capabilities readCapabilities(const Reply& ehloReply);

// The addresses of a ";"-separated list, blanks at either end trimmed, empty
// entries skipped.
std::vector<std::string> splitAddresses(std::string_view list);

// The address the envelope uses: the part in angle brackets of
// "Name <user@host>", or the whole text without blanks around it.
std::string envelopeAddress(std::string_view address);

// A server written as "host" or "host:port" ("[::1]:25" for IPv6); nothing
// when the port is not a number from 1 to 65535 or the host is empty.
struct HostPort {
  std::string host;
  std::uint16_t port = 25;
};
std::optional<HostPort> splitHostPort(std::string_view server, std::uint16_t defaultPort = 25);

std::string base64(std::string_view bytes);

// The body as DATA carries it: every line break (CR LF, lone CR, lone LF)
// made CR LF, a "." doubled at the start of a line, and a final CR LF. The
// closing "." line is not part of it.
std::string dataBody(std::string_view text);

// A moment of local time with its offset from UTC in minutes (+60 for CET).
struct LocalTime {
  int year = 1970, month = 1, day = 1;  // month 1 to 12
  int hour = 0, minute = 0, second = 0;
  int utcOffsetMinutes = 0;
};
// "Sun, 06 Dec 2026 07:05:09 +0100". The weekday is worked out from the date.
std::string messageDate(const LocalTime& time);

// "<unique@host>", with the host part of the sender's address when it has one.
std::string messageId(std::uint64_t unique, std::string_view from);

// An explanation when a text that goes into a header holds CR or LF, which
// would end the header and start another; empty when all are clean.
std::string headerBreakProblem(std::string_view from, const std::vector<std::string>& recipients,
                               std::string_view subject);

// What stops a send before any connection: no server, no sender, no
// recipient, a line break in a header text. Empty when the send can go ahead.
std::string problemBeforeSending(std::string_view server, std::string_view from, std::string_view recipients,
                                 std::string_view subject);

// The MIME name of a Windows ANSI code page: 1252 is "windows-1252".
std::string charsetOfCodePage(unsigned codePage);

// A computer name made fit for EHLO: letters, digits, "-" and "." only.
std::string ehloName(std::string_view computerName);

// The body in quoted-printable (RFC 2045): "=" and bytes outside printable
// ASCII as "=XX", blanks before a line end encoded, lines of at most 76
// characters held together by soft breaks ("=" at the end).
std::string quotedPrintable(std::string_view text);

struct Message {
  std::string from;
  std::vector<std::string> to;
  std::string subject;
  std::string date;       // messageDate()
  std::string messageId;  // messageId()
  std::string charset;    // "windows-1252"
  std::string body;
};
// The headers and the body, ready for dataBody(). A subject with bytes
// outside ASCII is written as encoded words in `charset`. The body goes as it
// is (8bit), or in quoted-printable when a line is longer than SMTP allows.
std::string buildMessage(const Message& message);

}  // namespace mail
