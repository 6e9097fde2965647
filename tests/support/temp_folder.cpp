#include "support/temp_folder.h"

#include <windows.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "win/unique_resource.h"

namespace support {
namespace {
std::atomic<int> folderCounter{0};

// Whether a program may change the file, or create a file in the folder.
bool changeable(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    const std::string probe = path + "\\probe.tmp";
    const bool made = static_cast<bool>(win::unique_file_handle(
        CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr)));
    return made && DeleteFileA(probe.c_str());
  }
  win::unique_file_handle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
  return static_cast<bool>(file);
}

}  // namespace

bool setImmutable(const std::string& path, bool on) {
  using UnixName = char*(CDECL*)(const wchar_t*);
  auto unixName = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!unixName) return false;
  std::wstring wide(path.begin(), path.end());
  char* name = unixName(wide.c_str());
  if (!name) return false;
  std::string line = std::string("chattr ") + (on ? "+i" : "-i") + " \"" + name + "\"";
  HeapFree(GetProcessHeap(), 0, name);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA("Z:\\usr\\bin\\chattr", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info))
    return false;
  win::unique_handle process(info.hProcess), thread(info.hThread);
  // Wine does not wait for a Unix program's end: wait for its effect.
  for (int i = 0; i < 200; ++i) {
    if (changeable(path) != on) return true;
    Sleep(25);
  }
  return false;
}

void removeTree(const std::string& folder) {
  WIN32_FIND_DATAA data{};
  win::unique_find search(FindFirstFileA((folder + "\\*").c_str(), &data));
  if (search) {
    do {
      std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      std::string full = folder + "\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        removeTree(full);
      } else {
        SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(full.c_str());
      }
    } while (FindNextFileA(search.get(), &data));
  }
  search.reset();
  RemoveDirectoryA(folder.c_str());
}

TempFolder::TempFolder(const std::string& prefix) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  path_ = std::string(temp) + prefix + " " + std::to_string(GetCurrentProcessId()) + "-" +
          std::to_string(folderCounter++);
  removeTree(path_);
  if (!CreateDirectoryA(path_.c_str(), nullptr)) throw std::runtime_error("cannot create " + path_);
}

TempFolder::~TempFolder() { removeTree(path_); }

void TempFolder::write(const std::string& name, const std::string& bytes) const {
  std::ofstream out(file(name), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + name);
}

std::string TempFolder::read(const std::string& name) const {
  std::ifstream in(file(name), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + name);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool TempFolder::exists(const std::string& name) const {
  return GetFileAttributesA(file(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace support
