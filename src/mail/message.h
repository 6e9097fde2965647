#pragma once
// The message as it goes out, without any system dependency: headers in
// 7-bit ASCII (texts beyond it as encoded words, lines folded), the date,
// the message ID, and the body in the encoding the server can take.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mail {

// A header line holds at most this many characters, and an encoded word at
// most kMaxEncodedWord of them (RFC 5322, RFC 2047).
inline constexpr std::size_t kMaxHeaderLine = 78;
inline constexpr std::size_t kMaxEncodedWord = 75;

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

// The MIME name of a Windows ANSI code page: 1252 is "windows-1252".
std::string charsetOfCodePage(unsigned codePage);

// The bytes that the character starting at `text[0]` takes in `codePage`:
// two for a lead byte of the double-byte code pages (932, 936, 949, 950), up
// to four in UTF-8 (65001), one otherwise; never more than `text` holds.
std::size_t characterLength(std::string_view text, unsigned codePage);

// A header "Name: text" whose text may hold bytes beyond ASCII: written as
// base64 encoded words that end on whole characters, each at most 75
// characters long, on lines of at most 78. A plain ASCII text is kept, its
// lines folded at blanks (blanks at its end stay on the last line); one that
// holds "=?", which readers would take for an encoded word, is encoded too.
std::string textHeader(std::string_view name, std::string_view text, const std::string& charset,
                       unsigned codePage);

// A header of addresses ("From", "To"), each written as `Name <address>`
// (the name in quotes when it holds a special character, as encoded words
// when it holds bytes beyond ASCII) or as the bare address, lines folded.
std::string addressHeader(std::string_view name, const std::vector<std::string>& addresses,
                          const std::string& charset, unsigned codePage);

// The body in quoted-printable (RFC 2045): "=" and bytes outside printable
// ASCII as "=XX", blanks before a line end encoded, lines of at most 76
// characters held together by soft breaks ("=" at the end).
std::string quotedPrintable(std::string_view text);

// How the body goes: 7bit when it is ASCII in lines SMTP can carry; 8bit when
// it holds other bytes and the server takes 8BITMIME (the envelope then says
// BODY=8BITMIME); quoted-printable otherwise, and whenever a line is longer
// than the 998 bytes SMTP allows.
enum class BodyEncoding { SevenBit, EightBit, QuotedPrintable };
BodyEncoding bodyEncoding(std::string_view body, bool serverTakes8Bit);

struct Message {
  std::string from;
  std::vector<std::string> to;
  std::string subject;
  std::string date;       // messageDate()
  std::string messageId;  // messageId()
  unsigned codePage = 1252;
  BodyEncoding encoding = BodyEncoding::EightBit;  // bodyEncoding()
  std::string body;
};
// The headers and the body, ready for dataBody().
std::string buildMessage(const Message& message);

}  // namespace mail
