#pragma once
// Text helpers without any system dependency.
#include <string>
#include <string_view>

namespace base {

// Upper-cases a text in the current C locale. The programs set the locale to
// the system's ANSI code page at start, so accented letters compare as Windows
// compares them.
std::string upperCase(std::string_view text);

// True when both texts are equal ignoring letter case (both upper-cased).
bool equalsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace base
