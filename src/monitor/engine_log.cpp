#include "monitor/engine_log.h"

#include <windows.h>

#include <cstdio>
#include <utility>
#include <vector>

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

// Renames log.text to `older` through a handle of its own, once that handle
// shows it still too large: by the path alone, another engine of the folder
// could have renamed it meanwhile and begun a new, small log, which would
// then replace the older lines.
bool renameLarge(const std::string& path, const std::string& older, std::uint64_t adding) {
  const win::unique_file_handle file(CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.get(), &size) ||
      static_cast<std::uint64_t>(size.QuadPart) + adding <= kLogLimitBytes)
    return false;
  char full[MAX_PATH * 2];
  const DWORD n = GetFullPathNameA(older.c_str(), sizeof full, full, nullptr);
  if (n == 0 || n >= sizeof full) return false;
  // The system's own spelling of a full path: a bare name would be taken as one in the current folder.
  const std::string target = std::string("\\??\\") + full;
  const int length =
      MultiByteToWideChar(CP_ACP, 0, target.data(), static_cast<int>(target.size()), nullptr, 0);
  if (length <= 0) return false;
  const std::size_t bytes = sizeof(FILE_RENAME_INFO) + static_cast<std::size_t>(length) * sizeof(WCHAR);
  std::vector<std::uint64_t> buffer(bytes / sizeof(std::uint64_t) + 1);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(length) * sizeof(WCHAR);
  MultiByteToWideChar(CP_ACP, 0, target.data(), static_cast<int>(target.size()), info->FileName, length);
  return SetFileInformationByHandle(file.get(), FileRenameInfo, info, static_cast<DWORD>(bytes)) != FALSE;
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
  std::string bytes = toFile ? std::exchange(held_, {}) : std::string();
  for (const auto& event : pending_) {
    // The sentence, the item, the time and the engine: a forwarded event says everything alone.
    source_.report(eventType(event.id), static_cast<DWORD>(event.id),
                   {event.text, event.item, event.stamp, engine_});
    if (toFile || event.kept) (toFile ? bytes : held_).append(event.line()).append("\r\n");
  }
  pending_.clear();
  if (!bytes.empty()) append(bytes);
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
    if (renameLarge(path_, older, bytes.size()))
      bytes = bytes.substr(0, bytes.find(" - ")) + " - the earlier lines are in log.old.text\r\n" + bytes;
    file = openForAppending(path_);
    if (!file) return;
  }
  SetFilePointer(file.get(), 0, nullptr, FILE_END);
  DWORD written = 0;
  WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace monitor
