#pragma once
// The file-exists rule of the data files and the application folder.
#include <string>

namespace win {

// True when a directory lookup of ordinary files at exactly this path finds an
// entry: read-only and archive files count; hidden and system files and
// folders do not. Any failure of the lookup gives false.
bool fileExists(const std::string& path);

// The folder of the running program, without a trailing backslash.
std::string appFolder();

}  // namespace win
