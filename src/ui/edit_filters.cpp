#include "ui/edit_filters.h"

#include <commctrl.h>

namespace ui {
namespace {

LRESULT CALLBACK numericKeys(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message == WM_CHAR) {
    const bool passes = (wParam >= '0' && wParam <= '9') || wParam == '.' || wParam == VK_BACK;
    if (!passes) return 0;  // Ctrl+V (22) and Ctrl+C (3) included
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace

void applyNumericKeyFilter(HWND edit) { SetWindowSubclass(edit, numericKeys, 1, 0); }

void removeTextLimit(HWND edit) { SendMessageA(edit, EM_SETLIMITTEXT, 0, 0); }

std::string controlText(HWND control) {
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(control)) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace ui
