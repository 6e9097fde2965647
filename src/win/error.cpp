#include "win/error.h"

#include <system_error>

namespace win {

std::string describeError(DWORD code) {
  std::string text = std::system_category().message(static_cast<int>(code));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

base::Error systemError(DWORD code) { return base::Error(describeError(code), static_cast<long>(code)); }

}  // namespace win
