#include "mail/smtp_text.h"

#include <algorithm>

namespace mail {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string upperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = upper(c);
  return out;
}

std::string_view trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// The words of a text separated by blanks.
std::vector<std::string> words(std::string_view text) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    std::size_t end = i;
    while (end < text.size() && text[end] != ' ') ++end;
    if (end > i) out.emplace_back(text.substr(i, end - i));
    i = end;
  }
  return out;
}

bool hasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

std::string Reply::text() const {
  std::string out = std::to_string(code);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    out += i ? " / " : " ";
    out += lines[i];
  }
  return out;
}

ReplyRead readReply(std::string_view input) {
  ReplyRead read;
  ReplyRead malformed{ReplyRead::Malformed, {}, 0};
  std::size_t pos = 0;
  for (;;) {
    const std::size_t lf = input.find('\n', pos);
    std::string_view line =
        input.substr(pos, lf == std::string_view::npos ? std::string_view::npos : lf - pos);
    // A line can be judged before its end has arrived once its first bytes are wrong.
    const bool bad = [&] {
      for (std::size_t i = 0; i < 3 && i < line.size(); ++i)
        if (!isDigit(line[i])) return true;
      return line.size() > 3 && line[3] != ' ' && line[3] != '-' && line[3] != '\r';
    }();
    if (bad) read.state = ReplyRead::Malformed;
    if (bad || lf == std::string_view::npos) return read;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() < 3) return malformed;
    const int code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
    if (!read.reply.lines.empty() && code != read.reply.code) return malformed;
    read.reply.code = code;
    read.reply.lines.emplace_back(line.size() > 4 ? line.substr(4) : std::string_view{});
    pos = lf + 1;
    if (line.size() == 3 || line[3] == ' ') {
      read.state = ReplyRead::Complete;
      read.used = pos;
      return read;
    }
  }
}

Capabilities readCapabilities(const Reply& ehloReply) {
  Capabilities caps;
  // The first line greets; each further line names one extension.
  for (std::size_t i = 1; i < ehloReply.lines.size(); ++i) {
    std::string line = upperCase(trim(ehloReply.lines[i]));
    if (line == "STARTTLS") caps.startTls = true;
    if (line == "8BITMIME") caps.eightBitMime = true;
    // "AUTH LOGIN PLAIN", or the older "AUTH=LOGIN PLAIN" of some servers.
    if (line.rfind("AUTH ", 0) == 0 || line.rfind("AUTH=", 0) == 0) {
      for (const std::string& word : words(std::string_view(line).substr(5))) {
        caps.authLogin |= word == "LOGIN";
        caps.authPlain |= word == "PLAIN";
      }
    }
  }
  return caps;
}

std::vector<std::string> splitAddresses(std::string_view list) {
  std::vector<std::string> out;
  for (;;) {
    const std::size_t semicolon = list.find(';');
    std::string_view entry = trim(list.substr(0, semicolon));
    if (!entry.empty()) out.emplace_back(entry);
    if (semicolon == std::string_view::npos) return out;
    list.remove_prefix(semicolon + 1);
  }
}

Mailbox parseMailbox(std::string_view text) {
  text = trim(text);
  const std::size_t open = text.rfind('<');
  const std::size_t close = text.rfind('>');
  if (open != std::string_view::npos && close != std::string_view::npos && close > open) {
    std::string_view name = trim(text.substr(0, open));
    std::string unquoted;
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
      name = name.substr(1, name.size() - 2);
      for (std::size_t i = 0; i < name.size(); ++i)
        unquoted += name[i] == '\\' && i + 1 < name.size() ? name[++i] : name[i];
    } else {
      unquoted = name;
    }
    return {unquoted, std::string(trim(text.substr(open + 1, close - open - 1)))};
  }
  // "user@host (Name)" or "(Name) user@host": the comment names the owner.
  if (const std::size_t paren = text.find('('); paren != std::string_view::npos && text.back() == ')')
    return {std::string(trim(text.substr(paren + 1, text.size() - paren - 2))),
            std::string(trim(text.substr(0, paren)))};
  if (const std::size_t paren = text.find(')'); paren != std::string_view::npos && text.front() == '(')
    return {std::string(trim(text.substr(1, paren - 1))), std::string(trim(text.substr(paren + 1)))};
  return {{}, std::string(text)};
}

std::string envelopeAddress(std::string_view address) { return parseMailbox(address).address; }

std::optional<HostPort> splitHostPort(std::string_view server, std::uint16_t defaultPort) {
  server = trim(server);
  HostPort out;
  out.port = defaultPort;
  std::string_view portText;
  if (!server.empty() && server.front() == '[') {
    const std::size_t close = server.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    out.host = server.substr(1, close - 1);
    std::string_view rest = server.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return std::nullopt;
      portText = rest.substr(1);
      if (portText.empty()) return std::nullopt;
    }
  } else if (const std::size_t colon = server.find(':');
             colon != std::string_view::npos && server.find(':', colon + 1) == std::string_view::npos) {
    out.host = server.substr(0, colon);
    portText = server.substr(colon + 1);
    if (portText.empty()) return std::nullopt;
  } else {
    out.host = server;  // a name, or an IPv6 address without brackets
  }
  if (out.host.empty()) return std::nullopt;
  if (!portText.empty()) {
    long port = 0;
    for (char c : portText) {
      if (!isDigit(c) || port > 65535) return std::nullopt;
      port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535) return std::nullopt;
    out.port = static_cast<std::uint16_t>(port);
  }
  return out;
}

std::string base64(std::string_view bytes) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k)
      group = group << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    for (std::size_t k = 0; k < 4; ++k) out += k <= n ? kDigits[group >> (18 - 6 * k) & 63] : '=';
  }
  return out;
}

std::string dataBody(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32 + 2);
  bool lineStart = true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "\r\n";
      lineStart = true;
      continue;
    }
    if (lineStart && c == '.') out += '.';
    out += c;
    lineStart = false;
  }
  if (!lineStart || out.empty()) out += "\r\n";
  return out;
}

namespace {

const std::string kNotSentEnd = "; the e-mail was not sent.";
// A line break in a header would end it and let the rest pass for a header of its own.
const std::string kNotSent = ", which would start another header line" + kNotSentEnd;

// Why the envelope cannot carry the address of `entry`, the sender or a
// recipient: a blank, "<", ">" or a control character would end the address
// early or add parameters of their own to the command. Empty when it can.
std::string envelopeProblem(const std::string& role, std::string_view entry) {
  const std::string address = envelopeAddress(entry);
  if (address.empty())
    return "The " + role + " \"" + std::string(entry) + "\" holds no address" + kNotSentEnd;
  const bool clean = std::none_of(address.begin(), address.end(), [](char c) {
    return static_cast<unsigned char>(c) <= ' ' || c == '\x7f' || c == '<' || c == '>';
  });
  if (clean) return {};
  return "The " + role + " address \"" + address +
         "\" holds a blank, \"<\", \">\" or a control character, which no e-mail address may hold" +
         kNotSentEnd;
}

}  // namespace

std::string headerBreakProblem(std::string_view from, const std::vector<std::string>& recipients,
                               std::string_view subject) {
  if (hasLineBreak(from)) return "The sender address holds a line break" + kNotSent;
  for (const std::string& to : recipients)
    if (hasLineBreak(to)) return "A recipient address holds a line break" + kNotSent;
  if (hasLineBreak(subject)) return "The subject holds a line break" + kNotSent;
  return {};
}

std::string problemBeforeSending(std::string_view server, std::string_view from, std::string_view recipients,
                                 std::string_view subject) {
  if (trim(server).empty()) return "No SMTP server is set.";
  if (!splitHostPort(server))
    return "The SMTP server \"" + std::string(trim(server)) + "\" is not a valid host or host:port.";
  if (envelopeAddress(from).empty()) return "No sender address is set.";
  const std::vector<std::string> to = splitAddresses(recipients);
  if (to.empty()) return "No recipient address is set.";
  if (std::string problem = headerBreakProblem(from, to, subject); !problem.empty()) return problem;
  if (std::string problem = envelopeProblem("sender", from); !problem.empty()) return problem;
  for (const std::string& entry : to)
    if (std::string problem = envelopeProblem("recipient", entry); !problem.empty()) return problem;
  return {};
}

bool isDnsName(std::string_view name) {
  if (name.empty() || name.size() > 253 || name.find('.') == std::string_view::npos) return false;
  std::size_t label = 0;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    const char c = i < name.size() ? name[i] : '.';
    if (c == '.') {
      if (label == 0 || label > 63 || name[i - 1] == '-' || name[i - label] == '-') return false;
      label = 0;
      continue;
    }
    if (!isDigit(c) && !(upper(c) >= 'A' && upper(c) <= 'Z') && c != '-') return false;
    ++label;
  }
  return true;
}

std::string ehloName(std::string_view dnsName, std::string_view localAddress) {
  dnsName = trim(dnsName);
  if (!dnsName.empty() && dnsName.back() == '.') dnsName.remove_suffix(1);
  if (isDnsName(dnsName)) return std::string(dnsName);
  // An IPv6 address may carry its zone ("fe80::1%4"), which no literal holds.
  localAddress = localAddress.substr(0, localAddress.find('%'));
  if (localAddress.empty()) return "localhost";
  const bool v6 = localAddress.find(':') != std::string_view::npos;
  return (v6 ? "[IPv6:" : "[") + std::string(localAddress) + "]";
}

std::string refusedRecipientsText(const std::vector<Refusal>& refused,
                                  const std::vector<std::string>& accepted) {
  std::string out = accepted.empty() && refused.size() > 1 ? "The server refused every recipient: "
                    : refused.size() > 1                   ? "The server refused the recipients "
                                                           : "The server refused the recipient ";
  for (std::size_t i = 0; i < refused.size(); ++i)
    out += (i ? ", " : "") + refused[i].address + " (" + refused[i].reply + ")";
  if (accepted.empty()) return out + "; the e-mail was not sent.";
  out += "; the e-mail was sent to the others: ";
  for (std::size_t i = 0; i < accepted.size(); ++i) out += (i ? ", " : "") + accepted[i];
  return out + ".";
}

}  // namespace mail
