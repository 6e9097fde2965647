#pragma once
// The tray icon's tip field: 64 characters that always end with a NUL.
#include <array>
#include <string_view>

namespace app {

inline constexpr std::size_t kTipField = 64;
inline constexpr char kTrayTip[] = "Monitor System Processes and Restart if Necessary - Right click for options";

// The text cut to its first 63 characters, a NUL, and blanks to the end.
std::array<char, kTipField> fitTrayTip(std::string_view text);

}  // namespace app
