#pragma once
// Services as the utility sees them: one row of the service list, the names
// of their states, and the lookup by display name.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

struct ServiceEntry {
  std::string serviceName;   // the key name
  std::string displayName;   // the name shown to users
  std::int32_t currentState = 0;
};

inline constexpr std::int32_t kServiceRunning = 4;

// "Stopped", "Starting", "Stopping", "Running", "Continuing", "Pausing",
// "Paused" for the codes 1 to 7; the empty text for any other code.
std::string serviceStateName(std::int32_t state);

// The first entry whose display name equals `displayName` ignoring letter
// case; nullptr when there is none. Key names are never matched.
const ServiceEntry* findService(const std::vector<ServiceEntry>& services, std::string_view displayName);

}  // namespace engine
