#include "mail/smtp_text.h"

#include <cstdio>

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

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
long daysFromEpoch(int year, int month, int day) {
  year -= month <= 2;
  const long era = (year >= 0 ? year : year - 399) / 400;
  const long yearOfEra = year - era * 400;
  const long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

// A subject in encoded words of at most 45 bytes each, one word per line.
std::string encodedWords(std::string_view text, const std::string& charset) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); i += 45) {
    if (i) out += "\r\n ";
    out += "=?" + charset + "?B?" + base64(text.substr(i, 45)) + "?=";
  }
  return out;
}

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

std::string envelopeAddress(std::string_view address) {
  const std::size_t open = address.rfind('<');
  const std::size_t close = address.rfind('>');
  if (open != std::string_view::npos && close != std::string_view::npos && close > open)
    return std::string(trim(address.substr(open + 1, close - open - 1)));
  return std::string(trim(address));
}

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

std::string messageDate(const LocalTime& t) {
  static constexpr const char* kDays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const long days = daysFromEpoch(t.year, t.month, t.day);
  const int weekday = static_cast<int>(((days % 7) + 7) % 7);  // 1970-01-01 was a Thursday
  const int offset = t.utcOffsetMinutes < 0 ? -t.utcOffsetMinutes : t.utcOffsetMinutes;
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02d%02d", kDays[weekday], t.day,
                kMonths[(t.month - 1) % 12], t.year, t.hour, t.minute, t.second,
                t.utcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
  return text;
}

std::string messageId(std::uint64_t unique, std::string_view from) {
  std::string host = envelopeAddress(from);
  const std::size_t at = host.rfind('@');
  host = at == std::string::npos || at + 1 == host.size() ? "brennix.invalid" : host.substr(at + 1);
  char digits[24];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(unique));
  return "<" + std::string(digits) + ".brennix@" + host + ">";
}

// A line break in a header would end it and let the rest pass for a header of its own.
const std::string kNotSent = ", which would start another header line; the e-mail was not sent.";

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
  return headerBreakProblem(from, to, subject);
}

std::string charsetOfCodePage(unsigned codePage) {
  switch (codePage) {
    case 874:
      return "windows-874";
    case 932:
      return "shift_jis";
    case 936:
      return "gb2312";
    case 949:
      return "ks_c_5601-1987";
    case 950:
      return "big5";
    case 65001:
      return "utf-8";
    default:
      return codePage >= 1250 && codePage <= 1258 ? "windows-" + std::to_string(codePage) : "windows-1252";
  }
}

std::string ehloName(std::string_view computerName) {
  std::string out;
  for (char c : trim(computerName)) {
    const bool fit = isDigit(c) || (upper(c) >= 'A' && upper(c) <= 'Z') || c == '-' || c == '.';
    out += fit ? c : '-';
  }
  return out.empty() ? "localhost" : out;
}

std::string quotedPrintable(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  std::size_t lineLength = 0;
  // A blank at the end of a line would be lost on the way: it goes encoded.
  const auto encodeLastBlank = [&] {
    if (lineLength > 0 && (out.back() == ' ' || out.back() == '\t'))
      out.replace(out.size() - 1, 1, out.back() == ' ' ? "=20" : "=09");
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      encodeLastBlank();
      out += "\r\n";
      lineLength = 0;
      continue;
    }
    const bool plain = (c >= 33 && c <= 126 && c != '=') || c == ' ' || c == '\t';
    const std::size_t width = plain ? 1 : 3;
    if (lineLength + width > 73) {  // room left for an encoded last blank and the "="
      out += "=\r\n";
      lineLength = 0;
    }
    if (plain)
      out += static_cast<char>(c);
    else
      out += {'=', kHex[c >> 4], kHex[c & 15]};
    lineLength += width;
  }
  encodeLastBlank();
  return out;
}

std::string buildMessage(const Message& m) {
  bool ascii = true;
  for (char c : m.subject) ascii &= static_cast<unsigned char>(c) < 0x80;
  // Many recipients fold the To header into lines that stay short.
  std::string to;
  std::size_t lineLength = 4;
  for (const std::string& address : m.to) {
    const bool fold = !to.empty() && lineLength + address.size() > 76;
    to += to.empty() ? "" : fold ? ",\r\n " : ", ";
    lineLength = (fold ? 1 : lineLength + 2) + address.size();
    to += address;
  }
  std::string out = "From: " + m.from + "\r\nTo: " + to +
                    "\r\nSubject: " + (ascii ? m.subject : encodedWords(m.subject, m.charset)) +
                    "\r\nDate: " + m.date + "\r\nMessage-ID: " + m.messageId +
                    "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=" + m.charset +
                    "\r\nContent-Transfer-Encoding: ";
  // SMTP lines hold 998 bytes at most; a longer one goes with soft breaks.
  bool longLine = false;
  for (std::size_t start = 0, end; start < m.body.size() && !longLine; start = end + 1) {
    end = m.body.find_first_of("\r\n", start);
    longLine = (end == std::string::npos ? m.body.size() : end) - start > 998;
    if (end == std::string::npos) break;
  }
  return out + (longLine ? "quoted-printable\r\n\r\n" + quotedPrintable(m.body) : "8bit\r\n\r\n" + m.body);
}

}  // namespace mail
