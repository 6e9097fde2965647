#include "settings/action_panel.h"

#include <commctrl.h>


#include "base/message_box.h"

namespace settings {
namespace {

LRESULT CALLBACK numericKeys(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message == WM_CHAR) {
    const bool passes = (wParam >= '0' && wParam <= '9') || wParam == '.' || wParam == VK_BACK;
    if (!passes) return 0;  // Ctrl+V (22) and Ctrl+C (3) included
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK soundNote(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message == WM_LBUTTONDOWN && SendMessageA(hwnd, BM_GETCHECK, 0, 0) == BST_UNCHECKED) {
    base::showNotice(GetParent(hwnd), kSoundNote);
    const bool checked = SendMessageA(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
    SendMessageA(hwnd, BM_SETCHECK, checked ? BST_UNCHECKED : BST_CHECKED, 0);
    return 0;  // the press itself does not toggle the box again
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace

void applyNumericKeyFilter(HWND edit) { SetWindowSubclass(edit, numericKeys, 1, 0); }

void applySoundNote(HWND checkBox) { SetWindowSubclass(checkBox, soundNote, 1, 0); }

std::string controlText(HWND control) {
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(control)) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace settings
