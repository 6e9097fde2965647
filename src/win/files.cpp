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

}  // namespace win
