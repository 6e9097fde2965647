#include "monitor/item_control.h"

#include "win/error.h"
#include "win/services.h"

namespace monitor {

std::string failureText(DWORD code) {
  return win::describeError(code) + " (error " + std::to_string(code) + ")";
}

ProgramStart startProgramItem(const std::string& path) {
  std::string commandLine = "\"" + path + "\"";
  const auto slash = path.find_last_of("\\/");
  const std::string folder =
      slash == std::string::npos ? std::string() : path.substr(0, slash == 2 ? 3 : slash);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &info))
    return {{}, failureText(GetLastError())};
  win::unique_handle thread(info.hThread);
  return {win::unique_handle(info.hProcess), std::nullopt};
}

std::optional<std::string> startServiceItem(const std::string& displayName) {
  const auto listing = win::listServices();
  if (!listing.listed) return "the list of services cannot be had: " + failureText(listing.error);
  const win::ServiceEntry* entry = win::findService(listing.services, displayName);
  if (!entry) return std::string("no service has this display name");
  win::unique_schandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return failureText(GetLastError());
  win::unique_schandle service(OpenServiceA(manager.get(), entry->serviceName.c_str(), SERVICE_START));
  if (!service) return failureText(GetLastError());
  if (!StartServiceA(service.get(), 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
    return failureText(GetLastError());
  return std::nullopt;
}

bool serviceCountsAsRunning(std::int32_t state) {
  return state != SERVICE_STOPPED && state != SERVICE_STOP_PENDING && state != 0;
}

}  // namespace monitor
