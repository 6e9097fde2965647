#pragma once
// Data files through the C library: an owner that closes the file, and
// opening and writing that throw base::Error with the platform's
// description of the failure. No system headers, so the formats built on it
// are tested and fuzzed anywhere.
#include <cstdio>
#include <memory>
#include <string>

namespace base {

struct FileCloser {
  void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};
using unique_file = std::unique_ptr<std::FILE, FileCloser>;

// Opens `path` with the stdio `mode`; throws when it cannot.
unique_file openFile(const std::string& path, const char* mode);

// Every byte from the current position to the end; a read error ends it.
std::string readAll(std::FILE* file);

// Throws the failure of the last file operation on `path` (errno, or an
// input/output error when errno holds nothing).
[[noreturn]] void throwFileError(const std::string& path);

}  // namespace base
