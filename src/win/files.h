#pragma once
// The file-exists rule of the data files and the application folder.
#include <windows.h>

#include <string>
#include <string_view>

namespace win {

// True when a directory lookup of ordinary files at exactly this path finds an
// entry: read-only and archive files count; hidden and system files and
// folders do not. Any failure of the lookup gives false.
bool fileExists(const std::string& path);

// The folder of the running program, without a trailing backslash.
std::string appFolder();

// Replaces the file at `path` with `bytes` so that no reader ever sees half
// of it: the bytes go to a temporary name in the same folder, which is then
// renamed over the file; while another process holds the file open the
// rename is tried again, for up to half a second. NO_ERROR, or the system's
// error code (the temporary file is gone then).
DWORD replaceFile(const std::string& path, std::string_view bytes);

// `text` in the system's ANSI code page, as UTF-8.
std::string utf8FromAnsi(std::string_view text);

}  // namespace win
