#pragma once
// Runs a modal dialog from a resource template with an object of its own:
// the object gets its window handle on WM_INITDIALOG and every message after
// it through `onMessage`, which dispatches to its handlers. A failure that
// escapes a handler never crosses into the system: it is shown as "Error: "
// with its description, and the dialog goes on.
#include <windows.h>

#include <exception>

#include "ui/message_box.h"
#include "ui/wait_cursor.h"

namespace ui {

template <class Dialog>
INT_PTR runModal(HWND owner, int templateId, Dialog& dialog) {
  DLGPROC proc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> INT_PTR {
    if (message == WM_INITDIALOG) {
      reinterpret_cast<Dialog*>(lParam)->hwnd_ = hwnd;
      SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    }
    auto* self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (!self) return FALSE;
    if (message == WM_SETCURSOR && WaitCursor::keepHourglass()) {
      SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, TRUE);
      return TRUE;
    }
    try {
      return self->onMessage(message, wParam, lParam);
    } catch (const std::exception& e) {
      showError(hwnd, e);
      return TRUE;
    }
  };
  return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId), owner, proc,
                         reinterpret_cast<LPARAM>(&dialog));
}

}  // namespace ui
