#pragma once
// Runs a modal dialog from a resource template with an object of its own:
// the object gets its window handle on WM_INITDIALOG and every message after
// it through `onMessage`, which dispatches to its handlers.
#include <windows.h>

namespace base {

template <class Dialog>
INT_PTR runModal(HWND owner, int templateId, Dialog& dialog) {
  DLGPROC proc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> INT_PTR {
    if (message == WM_INITDIALOG) {
      reinterpret_cast<Dialog*>(lParam)->hwnd_ = hwnd;
      SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    }
    auto* self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    return self ? self->onMessage(message, wParam, lParam) : FALSE;
  };
  return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId), owner, proc,
                         reinterpret_cast<LPARAM>(&dialog));
}

}  // namespace base
