#include "mail/message.h"

#include <algorithm>
#include <cstdio>

#include "mail/smtp_text.h"

namespace mail {
namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
long daysFromEpoch(int year, int month, int day) {
  year -= month <= 2;
  const long era = (year >= 0 ? year : year - 399) / 400;
  const long yearOfEra = year - era * 400;
  const long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Text beyond ASCII, and text that readers would take for an encoded word
// and decode, goes as encoded words.
bool needsEncoding(std::string_view text) {
  return text.find("=?") != std::string_view::npos ||
         std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// A header being written. Each piece starts with a blank; it goes on the
// current line while that stays within kMaxHeaderLine, else the header is
// folded before it (the blank then starts the next line).
class HeaderWriter {
 public:
  explicit HeaderWriter(std::string_view name) : text_(std::string(name) + ":"), line_(text_.size()) {}

  std::size_t room() const { return line_ < kMaxHeaderLine ? kMaxHeaderLine - line_ : 0; }
  bool lineEmpty() const { return lineEmpty_; }

  void fold() {
    text_ += "\r\n";
    line_ = 0;
    lineEmpty_ = true;
  }

  // A piece too long for any line still goes whole, on a line of its own.
  void add(std::string_view piece) {
    if (piece.size() > room() && !lineEmpty_) fold();
    text_ += piece;
    line_ += piece.size();
    lineEmpty_ = false;
  }

  std::string finish() { return text_ + "\r\n"; }

 private:
  std::string text_;
  std::size_t line_;
  bool lineEmpty_ = true;  // nothing after the header's name or the last fold
};

// ASCII text in pieces of its blanks and the word after them, so that a fold
// keeps every blank. Blanks at the end stay with the last word, even past
// the line's length: a folded line may not hold blanks alone.
void writePlain(HeaderWriter& h, std::string_view text) {
  std::string piece = " ";
  for (std::size_t i = 0; i < text.size();) {
    std::size_t end = i;
    while (end < text.size() && isBlank(text[end])) ++end;
    while (end < text.size() && !isBlank(text[end])) ++end;
    if (text.find_first_not_of(" \t", end) == std::string_view::npos) end = text.size();
    piece.append(text.substr(i, end - i));
    h.add(piece);
    piece.clear();
    i = end;
  }
}

// Text as base64 encoded words of whole characters, each as long as the line
// and kMaxEncodedWord allow. Readers join adjacent encoded words without the
// blanks between them, so the text comes back unchanged.
void writeEncoded(HeaderWriter& h, std::string_view text, const std::string& charset, unsigned codePage) {
  const std::size_t overhead = charset.size() + 7;  // "=?" charset "?B?" ... "?="
  const auto bytesFitting = [&](std::size_t room) {
    const std::size_t word = std::min(room > 0 ? room - 1 : 0, kMaxEncodedWord);  // after the blank
    const std::size_t most = word > overhead ? (word - overhead) / 4 * 3 : 0;
    std::size_t n = 0;
    while (n < text.size()) {
      const std::size_t c = characterLength(text.substr(n), codePage);
      if (n + c > most) break;
      n += c;
    }
    return n;
  };
  while (!text.empty()) {
    std::size_t n = bytesFitting(h.room());
    if (n == 0 && !h.lineEmpty()) {
      h.fold();
      n = bytesFitting(h.room());
    }
    if (n == 0) n = characterLength(text, codePage);
    h.add(" =?" + charset + "?B?" + base64(text.substr(0, n)) + "?=");
    text.remove_prefix(n);
  }
}

void writeText(HeaderWriter& h, std::string_view text, const std::string& charset, unsigned codePage) {
  if (needsEncoding(text))
    writeEncoded(h, text, charset, codePage);
  else
    writePlain(h, text);
}

// A display name as a phrase: as it is when it holds only atoms and blanks,
// else in quotes.
std::string phrase(std::string_view name) {
  const auto atomic = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || isBlank(c) ||
           std::string_view("!#$%&'*+-/=?^_`{|}~").find(c) != std::string_view::npos;
  };
  if (std::all_of(name.begin(), name.end(), atomic)) return std::string(name);
  std::string out = "\"";
  for (char c : name) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace

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

std::string charsetOfCodePage(unsigned codePage) {
  switch (codePage) {
    case 874:
      return "windows-874";
    case 932:
      return "shift_jis";
    case 936:
      return "gbk";
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

std::size_t characterLength(std::string_view text, unsigned codePage) {
  if (text.empty()) return 0;
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t n = 1;
  switch (codePage) {
    case 932:  // Shift_JIS
      n = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC) ? 2 : 1;
      break;
    case 936:  // GBK
    case 949:  // Unified Hangul
    case 950:  // Big5
      n = lead >= 0x81 && lead <= 0xFE ? 2 : 1;
      break;
    case 65001: {  // UTF-8: the lead byte and the continuation bytes after it
      const std::size_t wanted = lead >= 0xF8   ? 1
                                 : lead >= 0xF0 ? 4
                                 : lead >= 0xE0 ? 3
                                 : lead >= 0xC0 ? 2
                                                : 1;
      while (n < wanted && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) ++n;
      return n;
    }
    default:
      break;
  }
  return std::min(n, text.size());
}

std::string textHeader(std::string_view name, std::string_view text, const std::string& charset,
                       unsigned codePage) {
  HeaderWriter h(name);
  writeText(h, text, charset, codePage);
  return h.finish();
}

std::string addressHeader(std::string_view name, const std::vector<std::string>& addresses,
                          const std::string& charset, unsigned codePage) {
  HeaderWriter h(name);
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    const Mailbox box = parseMailbox(addresses[i]);
    const char* end = i + 1 < addresses.size() ? "," : "";
    if (box.name.empty()) {
      h.add(" " + box.address + end);
      continue;
    }
    writeText(h, needsEncoding(box.name) ? box.name : phrase(box.name), charset, codePage);
    h.add(" <" + box.address + ">" + end);
  }
  return h.finish();
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

BodyEncoding bodyEncoding(std::string_view body, bool serverTakes8Bit) {
  bool eightBit = false;
  std::size_t line = 0;
  for (char c : body) {
    if (c == '\r' || c == '\n') {
      line = 0;
      continue;
    }
    if (++line > 998) return BodyEncoding::QuotedPrintable;
    eightBit |= static_cast<unsigned char>(c) >= 0x80;
  }
  if (!eightBit) return BodyEncoding::SevenBit;
  return serverTakes8Bit ? BodyEncoding::EightBit : BodyEncoding::QuotedPrintable;
}

std::string buildMessage(const Message& m) {
  const std::string charset = charsetOfCodePage(m.codePage);
  std::string out = addressHeader("From", {m.from}, charset, m.codePage) +
                    addressHeader("To", m.to, charset, m.codePage) +
                    textHeader("Subject", m.subject, charset, m.codePage) + "Date: " + m.date +
                    "\r\nMessage-ID: " + m.messageId +
                    "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=" + charset +
                    "\r\nContent-Transfer-Encoding: ";
  switch (m.encoding) {
    case BodyEncoding::SevenBit:
      return out + "7bit\r\n\r\n" + m.body;
    case BodyEncoding::EightBit:
      return out + "8bit\r\n\r\n" + m.body;
    case BodyEncoding::QuotedPrintable:
      break;
  }
  return out + "quoted-printable\r\n\r\n" + quotedPrintable(m.body);
}

}  // namespace mail
