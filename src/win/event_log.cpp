#include "win/event_log.h"

namespace win {

std::string eventSourceKey(const std::string& source) {
  return "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" + source;
}

DWORD registerEventSource(const std::string& source, const std::string& messageFile) {
  unique_hkey key;
  LSTATUS status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, eventSourceKey(source).c_str(), 0, nullptr, 0,
                                   KEY_SET_VALUE, nullptr, key.put(), nullptr);
  if (status != ERROR_SUCCESS) return static_cast<DWORD>(status);
  status = RegSetValueExA(key.get(), "EventMessageFile", 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(messageFile.c_str()),
                          static_cast<DWORD>(messageFile.size() + 1));
  if (status != ERROR_SUCCESS) return static_cast<DWORD>(status);
  const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
  return static_cast<DWORD>(RegSetValueExA(key.get(), "TypesSupported", 0, REG_DWORD,
                                           reinterpret_cast<const BYTE*>(&types), sizeof types));
}

DWORD unregisterEventSource(const std::string& source) {
  const LSTATUS status = RegDeleteKeyA(HKEY_LOCAL_MACHINE, eventSourceKey(source).c_str());
  return status == ERROR_FILE_NOT_FOUND ? NO_ERROR : static_cast<DWORD>(status);
}

bool EventSource::report(WORD type, DWORD id, const std::vector<std::string>& strings) const {
  if (!handle_) return false;
  std::vector<const char*> pointers;
  pointers.reserve(strings.size());
  for (const auto& s : strings) pointers.push_back(s.c_str());
  return ReportEventA(handle_.get(), type, 0, id, nullptr, static_cast<WORD>(pointers.size()), 0,
                      pointers.data(), nullptr) != FALSE;
}

}  // namespace win
