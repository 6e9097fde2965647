#include "win/files.h"

#include <windows.h>

#include "win/unique_resource.h"

namespace win {

bool fileExists(const std::string& path) {
  if (path.empty()) return false;
  WIN32_FIND_DATAA data{};
  unique_find search(FindFirstFileA(path.c_str(), &data));
  if (!search) return false;
  constexpr DWORD excluded = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  return (data.dwFileAttributes & excluded) == 0;
}

std::string appFolder() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  auto slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string{} : path.substr(0, slash);
}

DWORD replaceFile(const std::string& path, std::string_view bytes) {
  constexpr int kRenameTries = 10;
  constexpr DWORD kRenameRetryMs = 50;
  const std::string temporary = path + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
  {
    unique_file_handle file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
      const DWORD error = GetLastError() == NO_ERROR ? ERROR_WRITE_FAULT : GetLastError();
      file.reset();
      DeleteFileA(temporary.c_str());
      return error;
    }
  }
  for (int attempt = 1;; ++attempt) {
    if (MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return NO_ERROR;
    const DWORD error = GetLastError();
    // A reader that has the file open without sharing its deletion holds up the rename.
    if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || attempt == kRenameTries) {
      DeleteFileA(temporary.c_str());
      return error;
    }
    Sleep(kRenameRetryMs);
  }
}

std::string utf8FromAnsi(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  std::wstring wide(text.size(), L'\0');
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), size);
  std::string out(static_cast<std::size_t>(n) * 3, '\0');
  const int m = WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, out.data(), static_cast<int>(out.size()),
                                    nullptr, nullptr);
  out.resize(static_cast<std::size_t>(m));
  return out;
}

}  // namespace win
