#pragma once
// The main window's two service lookups, by display name.
#include <windows.h>

#include <string>

namespace engine {

inline constexpr char kServiceListFailure[] = "Unable to get list of services ";

// The state text of the service with this display name, or the empty text
// when there is none. When the services cannot be listed, tells the user
// ("Unable to get list of services " and the error code) and gives the empty
// text. Shows the hourglass while it lists.
std::string getServiceStatus(HWND owner, const std::string& displayName);

// True only when the service with this display name is running. A failed
// listing gives false and leaves a diagnostic line in the debugger output
// (OutputDebugString; under Wine, WINEDEBUG=+debugstr shows it).
bool IsServiceRunning(const std::string& displayName);

}  // namespace engine
