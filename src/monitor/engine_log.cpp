#include "monitor/engine_log.h"

#include <windows.h>

#include <cstdio>

#include "control/engine_programs.h"
#include "win/unique_resource.h"

namespace monitor {
namespace {

WORD eventType(EventId id) {
  switch (eventLevel(id)) {
    case EventLevel::Warning:
      return EVENTLOG_WARNING_TYPE;
    case EventLevel::Error:
      return EVENTLOG_ERROR_TYPE;
    case EventLevel::Information:
      break;
  }
  return EVENTLOG_INFORMATION_TYPE;
}

win::unique_file_handle openForAppending(const std::string& path) {
  return win::unique_file_handle(CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

Moment clockNow() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                t.wMinute, t.wSecond);
  FILETIME utc;
  GetSystemTimeAsFileTime(&utc);
  // 100 ns steps since 1601; the Unix epoch is 11644473600 s later.
  const auto steps = (static_cast<std::uint64_t>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
  return {static_cast<std::int64_t>(GetTickCount64()), stamp,
          static_cast<std::int64_t>(steps / 10'000'000) - 11'644'473'600LL};
}

EngineLog::EngineLog(std::string path, std::string engine)
    : path_(std::move(path)), engine_(std::move(engine)), source_(std::string(control::kEventSource)) {}

void EngineLog::write(bool toFile) {
  if (pending_.empty()) return;
  std::string bytes;
  for (const auto& event : pending_) {
    // The sentence, the item, the time and the engine: a forwarded event says everything alone.
    source_.report(eventType(event.id), static_cast<DWORD>(event.id),
                   {event.text, event.item, event.stamp, engine_});
    bytes.append(event.line()).append("\r\n");
  }
  pending_.clear();
  if (toFile) append(bytes);
}

void EngineLog::append(std::string bytes) {
  win::unique_file_handle file = openForAppending(path_);
  if (!file) return;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file.get(), &size) && size.QuadPart > 0 &&
      static_cast<std::uint64_t>(size.QuadPart) + bytes.size() > kLogLimitBytes) {
    file.reset();
    const std::string older = path_.substr(0, path_.size() - 5) + ".old.text";
    // The new log begins by saying where the earlier lines went, at the time of its first line.
    if (MoveFileExA(path_.c_str(), older.c_str(), MOVEFILE_REPLACE_EXISTING))
      bytes = bytes.substr(0, bytes.find(" - ")) + " - the earlier lines are in log.old.text\r\n" + bytes;
    file = openForAppending(path_);
    if (!file) return;
  }
  SetFilePointer(file.get(), 0, nullptr, FILE_END);
  DWORD written = 0;
  WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace monitor
