#include "engine/service_status.h"

#include "base/message_box.h"
#include "base/wait_cursor.h"
#include "engine/list_services_api.h"

namespace engine {
namespace {

// The date and time as the regional settings write them.
std::string nowText() {
  char date[64] = {}, time[64] = {};
  GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, sizeof date);
  GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, time, sizeof time);
  return std::string(date) + " " + time;
}

}  // namespace

std::string getServiceStatus(HWND owner, const std::string& displayName) {
  base::WaitCursor hourglass;
  std::vector<ServiceEntry> services;
  DWORD error = 0;
  if (!listServices(services, error)) {
    base::showNotice(owner, kServiceListFailure + std::to_string(error));
    return {};
  }
  const ServiceEntry* entry = findService(services, displayName);
  return entry ? serviceStateName(entry->currentState) : std::string{};
}

bool IsServiceRunning(const std::string& displayName) {
  std::vector<ServiceEntry> services;
  DWORD error = 0;
  if (!listServices(services, error)) {
    const std::string line = nowText() + " - Unable to get list of services: " + std::to_string(error) + "\n";
    OutputDebugStringA(line.c_str());
    return false;
  }
  const ServiceEntry* entry = findService(services, displayName);
  return entry && entry->currentState == kServiceRunning;
}

}  // namespace engine
