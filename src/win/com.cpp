#include "win/com.h"

#include <cstdio>

#include "base/error.h"
#include "win/error.h"

namespace win {

void check(HRESULT hr, const char* what) {
  if (SUCCEEDED(hr)) return;
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
  throw base::Error(std::string(what) + " failed (" + code + "): " + describeError(static_cast<DWORD>(hr)),
                    hr);
}

std::string narrow(const wchar_t* text, int length) {
  if (!text || length <= 0) return {};
  int n = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, length, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace win
