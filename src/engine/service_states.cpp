#include "engine/service_states.h"

#include "base/text.h"

namespace engine {

std::string serviceStateName(std::int32_t state) {
  static const char* const names[] = {"Stopped",    "Starting", "Stopping", "Running",
                                      "Continuing", "Pausing",  "Paused"};
  if (state < 1 || state > 7) return {};
  return names[state - 1];
}

const ServiceEntry* findService(const std::vector<ServiceEntry>& services, std::string_view displayName) {
  const std::string wanted = base::upperCase(displayName);
  for (const auto& entry : services)
    if (base::upperCase(entry.displayName) == wanted) return &entry;
  return nullptr;
}

}  // namespace engine
