#pragma once
// Dates and times as the regional settings write them.
#include <windows.h>

#include <string>

namespace win {

// The short date, a blank, and the long time of `at` (local time), or of now.
std::string localDateTimeText(const SYSTEMTIME* at = nullptr);

}  // namespace win
