#pragma once
// The services of the local machine, from the Service Control Manager:
// their list, the names of their states, and the lookups by display name.
// Services are always matched by display name, ignoring letter case; key
// names are never matched. Nothing here shows a message.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace win {

struct ServiceEntry {
  std::string serviceName;  // the key name
  std::string displayName;  // the name shown to users
  std::int32_t currentState = 0;
};

inline constexpr std::int32_t kServiceStartPending = 2;
inline constexpr std::int32_t kServiceRunning = 4;

// "Stopped", "Starting", "Stopping", "Running", "Continuing", "Pausing",
// "Paused" for the codes 1 to 7; the empty text for any other code.
std::string serviceStateName(std::int32_t state);

// The first entry whose display name equals `displayName` ignoring letter
// case; nullptr when there is none.
const ServiceEntry* findService(const std::vector<ServiceEntry>& services, std::string_view displayName);

struct ServiceListing {
  bool listed = false;  // false: the list could not be had
  DWORD error = 0;      // then the system error code of the failed call
  std::vector<ServiceEntry> services;
};

// Every service that runs in a process of its own or a shared one (no
// drivers), running or not, in the order the system gives. Not listed, with
// no services, when the list cannot be had, and also when there is nothing to
// list. Names longer than 255 characters are cut there.
ServiceListing listServices();

// The state text of the service with this display name in a listing: the
// empty text when there is none.
std::string serviceStateText(const ServiceListing& listing, std::string_view displayName);

// The state of the service with this display name; 0 when there is none.
// A failed listing gives 0 and leaves a diagnostic line in the debugger
// output (OutputDebugString; under Wine, WINEDEBUG=+debugstr shows it).
std::int32_t serviceState(const std::string& displayName);

// True only when the service with this display name is running; false as
// well when the list cannot be had (with serviceState's diagnostic line).
bool IsServiceRunning(const std::string& displayName);

}  // namespace win
