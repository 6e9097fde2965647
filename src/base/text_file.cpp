#include "base/text_file.h"

#include <cerrno>
#include <system_error>

namespace base {

unique_file openFile(const std::string& path, const char* mode) {
  errno = 0;
  unique_file f(std::fopen(path.c_str(), mode));
  if (!f) throwFileError(path);
  return f;
}

void throwFileError(const std::string& path) {
  throw std::system_error(errno ? errno : EIO, std::generic_category(), path);
}

}  // namespace base
