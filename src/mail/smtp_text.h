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
  bool eightBitMime = false;
};
Capabilities readCapabilities(const Reply& ehloReply);

// The addresses of a ";"-separated list, blanks at either end trimmed, empty
// entries skipped.
std::vector<std::string> splitAddresses(std::string_view list);

// An entry of an address list: "Name <user@host>", "\"Name\" <user@host>",
// "user@host (Name)", "(Name) user@host" or the bare "user@host". The name
// comes without quotes.
struct Mailbox {
  std::string name;
  std::string address;
};
Mailbox parseMailbox(std::string_view text);

// The address the envelope uses: the address of parseMailbox().
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

// An explanation when a text that goes into a header holds CR or LF, which
// would end the header and start another; empty when all are clean.
std::string headerBreakProblem(std::string_view from, const std::vector<std::string>& recipients,
                               std::string_view subject);

// What stops a send before any connection: no server, no sender, no
// recipient, a line break in a header text, an entry without an address or
// an address that holds a blank, "<", ">" or a control character, which
// would break the envelope. Empty when the send can go ahead.
std::string problemBeforeSending(std::string_view server, std::string_view from, std::string_view recipients,
                                 std::string_view subject);

// The name this computer gives in EHLO: its fully qualified DNS name when it
// has one ("pc.corp.example"), else the address literal of the connection's
// local address ("[192.0.2.10]", "[IPv6:2001:db8::1]"), which servers take
// where a name is not fully qualified.
std::string ehloName(std::string_view dnsName, std::string_view localAddress);

// What a send reports when the server refused recipients, each given with its
// reply: that the e-mail went to the `accepted` ones, or to nobody.
struct Refusal {
  std::string address;
  std::string reply;  // "550 5.1.1 No such user"
};
std::string refusedRecipientsText(const std::vector<Refusal>& refused,
                                  const std::vector<std::string>& accepted);

}  // namespace mail
