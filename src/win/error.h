#pragma once
// System error codes as the program's one error type.
#include <windows.h>

#include <string>

#include "base/error.h"

namespace win {

// The platform's description of a system error code, without a trailing
// line break.
std::string describeError(DWORD code);

// The error for a failed system call: its description and its code.
base::Error systemError(DWORD code);

}  // namespace win
