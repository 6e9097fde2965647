#include "monitor/engine_log.h"

#include <windows.h>

#include <cstdio>

#include "win/unique_resource.h"

namespace monitor {

Moment clockNow() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                t.wMinute, t.wSecond);
  return {static_cast<std::int64_t>(GetTickCount64()), stamp};
}

void EngineLog::write() {
  if (pending_.empty()) return;
  std::string bytes;
  for (const auto& line : pending_) bytes.append(line).append("\r\n");
  pending_.clear();
  win::unique_file_handle file(CreateFileA(path_.c_str(), FILE_APPEND_DATA,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  SetFilePointer(file.get(), 0, nullptr, FILE_END);
  DWORD written = 0;
  WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace monitor
