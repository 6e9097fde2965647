#pragma once
// The Application log of the Windows Event Log: an event source's
// registration (its key under HKEY_LOCAL_MACHINE names the program whose
// message table holds the texts of its event ids) and its reports.
#include <windows.h>

#include <string>
#include <vector>

#include "win/unique_resource.h"

namespace win {

// "SYSTEM\CurrentControlSet\Services\EventLog\Application\" and the source.
std::string eventSourceKey(const std::string& source);

// Registers `source` with `messageFile` (a full path) as EventMessageFile
// and information, warning and error events (TypesSupported 7). The
// system's error code, NO_ERROR when it is done.
DWORD registerEventSource(const std::string& source, const std::string& messageFile);
// Deletes the source's key; NO_ERROR also when there was none.
DWORD unregisterEventSource(const std::string& source);

class EventSource {
 public:
  explicit EventSource(const std::string& source) : handle_(RegisterEventSourceA(nullptr, source.c_str())) {}
  // One event of `type` (EVENTLOG_INFORMATION_TYPE, ...) with its insertion
  // strings; false when it cannot be reported.
  bool report(WORD type, DWORD id, const std::vector<std::string>& strings) const;

 private:
  unique_event_source handle_;
};

}  // namespace win
