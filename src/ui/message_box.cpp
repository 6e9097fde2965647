#include "ui/message_box.h"

#include "base/error.h"

namespace ui {

void showNotice(HWND owner, const std::string& text) {
  MessageBoxA(owner, text.c_str(), kAppTitle, MB_OK | MB_ICONINFORMATION);
}

void showError(HWND owner, const std::string& description) {
  MessageBoxA(owner, ("Error: " + description).c_str(), kAppTitle, MB_OK);
}

void showError(HWND owner, const std::exception& failure) { showError(owner, base::describe(failure)); }

bool confirmWithQuestion(HWND owner, const std::string& text) {
  return MessageBoxA(owner, text.c_str(), kAppTitle, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool confirm(HWND owner, const std::string& text, const char* title) {
  return MessageBoxA(owner, text.c_str(), title, MB_YESNO) == IDYES;
}

}  // namespace ui
