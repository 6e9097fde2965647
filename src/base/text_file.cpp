#include "base/text_file.h"

#include <cerrno>
#include <system_error>

#include "base/error.h"

namespace base {

unique_file openFile(const std::string& path, const char* mode) {
  errno = 0;
  unique_file f(std::fopen(path.c_str(), mode));
  if (!f) throwFileError(path);
  return f;
}

std::string readAll(std::FILE* file) {
  std::string bytes;
  char buffer[1 << 14];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, got);
  return bytes;
}

void throwFileError(const std::string&) {
  const int code = errno ? errno : EIO;
  throw Error(std::generic_category().message(code), code);
}

}  // namespace base
