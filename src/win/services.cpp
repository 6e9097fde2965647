#include "win/services.h"

#include "base/text.h"
#include "win/local_time.h"
#include "win/unique_resource.h"

namespace win {
namespace {

// Names pass through a buffer of 256 characters.
std::string copyName(const char* name) {
  char buffer[256] = {};
  if (name) lstrcpynA(buffer, name, sizeof buffer);
  return buffer;
}

}  // namespace

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

ServiceListing listServices() {
  ServiceListing listing;
  unique_schandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
  if (!manager) {
    listing.error = GetLastError();
    return listing;
  }

  DWORD needed = 0, count = 0, resume = 0;
  if (EnumServicesStatusA(manager.get(), SERVICE_WIN32, SERVICE_STATE_ALL, nullptr, 0, &needed, &count,
                          &resume)) {
    return listing;  // nothing to list
  }
  listing.error = GetLastError();
  if (listing.error != ERROR_MORE_DATA) return listing;

  // Whole records of the platform's own layout, one more than the bytes need.
  const std::size_t records = needed / sizeof(ENUM_SERVICE_STATUSA) + 1;
  std::vector<ENUM_SERVICE_STATUSA> buffer(records);
  resume = 0;
  if (!EnumServicesStatusA(manager.get(), SERVICE_WIN32, SERVICE_STATE_ALL, buffer.data(),
                           static_cast<DWORD>(records * sizeof(ENUM_SERVICE_STATUSA)), &needed, &count,
                           &resume)) {
    listing.error = GetLastError();
    return listing;
  }
  listing.listed = true;
  listing.error = 0;
  listing.services.reserve(count);
  for (DWORD i = 0; i < count; ++i) {
    listing.services.push_back({copyName(buffer[i].lpServiceName), copyName(buffer[i].lpDisplayName),
                                static_cast<std::int32_t>(buffer[i].ServiceStatus.dwCurrentState)});
  }
  return listing;
}

std::string serviceStateText(const ServiceListing& listing, std::string_view displayName) {
  const ServiceEntry* entry = findService(listing.services, displayName);
  return entry ? serviceStateName(entry->currentState) : std::string{};
}

std::int32_t serviceState(const std::string& displayName) {
  const ServiceListing listing = listServices();
  if (!listing.listed) {
    const std::string line =
        localDateTimeText() + " - Unable to get list of services: " + std::to_string(listing.error) + "\n";
    OutputDebugStringA(line.c_str());
    return 0;
  }
  const ServiceEntry* entry = findService(listing.services, displayName);
  return entry ? entry->currentState : 0;
}

bool IsServiceRunning(const std::string& displayName) { return serviceState(displayName) == kServiceRunning; }

}  // namespace win
