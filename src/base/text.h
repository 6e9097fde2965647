#pragma once
// Text helpers without any system dependency.
#include <cstdint>
#include <string>
#include <string_view>

namespace base {

// Upper-cases a text in the current C locale. The programs set the locale to
// the system's ANSI code page at start, so accented letters compare as Windows
// compares them.
std::string upperCase(std::string_view text);

// True when both texts are equal ignoring letter case (both upper-cased).
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// The text without blanks at either end.
std::string_view trimBlanks(std::string_view text);

// The leading numeric part of a text, as a number: blanks first are skipped,
// then an optional sign, digits and one decimal point; 0 when there is none.
// "12abc" reads 12, " 3.5 " reads 3.5, "abc" reads 0.
double leadingNumber(std::string_view text);

// True when the whole text, blanks at either end aside, is a number.
bool isNumber(std::string_view text);

// A time in milliseconds as whole seconds for a log line: 5400 reads "5 s".
inline std::string wholeSeconds(std::int64_t ms) { return std::to_string(ms / 1000) + " s"; }

}  // namespace base
