#include "base/message_box.h"

#include <system_error>

namespace base {

void showNotice(HWND owner, const std::string& text) {
  MessageBoxA(owner, text.c_str(), kAppTitle, MB_OK | MB_ICONINFORMATION);
}

void showError(HWND owner, const std::string& description) {
  MessageBoxA(owner, ("Error: " + description).c_str(), kAppTitle, MB_OK);
}

bool confirmWithQuestion(HWND owner, const std::string& text) {
  return MessageBoxA(owner, text.c_str(), kAppTitle, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool confirm(HWND owner, const std::string& text) {
  return MessageBoxA(owner, text.c_str(), kAppTitle, MB_YESNO) == IDYES;
}

std::string describeError(DWORD code) {
  std::string text = std::system_category().message(static_cast<int>(code));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace base
