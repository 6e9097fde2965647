#include "engine/list_services_api.h"

#include "base/unique_resource.h"

namespace engine {
namespace {

// Names pass through a buffer of 256 characters.
std::string copyName(const char* name) {
  char buffer[256] = {};
  if (name) lstrcpynA(buffer, name, sizeof buffer);
  return buffer;
}

}  // namespace

bool listServices(std::vector<ServiceEntry>& services, DWORD& error) {
  services.clear();
  error = 0;
  base::unique_schandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
  if (!manager) {
    error = GetLastError();
    return false;
  }

  DWORD needed = 0, count = 0, resume = 0;
  if (EnumServicesStatusA(manager.get(), SERVICE_WIN32, SERVICE_STATE_ALL, nullptr, 0, &needed, &count,
                          &resume)) {
    return false;  // nothing to list
  }
  error = GetLastError();
  if (error != ERROR_MORE_DATA) return false;

  // Whole records of the platform's own layout, one more than the bytes need.
  const std::size_t records = needed / sizeof(ENUM_SERVICE_STATUSA) + 1;
  std::vector<ENUM_SERVICE_STATUSA> buffer(records);
  resume = 0;
  if (!EnumServicesStatusA(manager.get(), SERVICE_WIN32, SERVICE_STATE_ALL, buffer.data(),
                           static_cast<DWORD>(records * sizeof(ENUM_SERVICE_STATUSA)), &needed, &count,
                           &resume)) {
    error = GetLastError();
    return false;
  }
  error = 0;
  services.reserve(count);
  for (DWORD i = 0; i < count; ++i) {
    services.push_back({copyName(buffer[i].lpServiceName), copyName(buffer[i].lpDisplayName),
                        static_cast<std::int32_t>(buffer[i].ServiceStatus.dwCurrentState)});
  }
  return true;
}

}  // namespace engine
