#include "ui/dialog_focus.h"

#include <commctrl.h>

namespace ui {
namespace {

constexpr UINT_PTR kDefaultBorderSubclass = 0x4446;  // one id for all the dialogs' controls

bool isPushButton(HWND control) {
  return (SendMessageA(control, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
}

void showDefaultBorder(HWND dialog, HWND focus) {
  const bool onButton = isPushButton(focus);
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    const LRESULT code = SendMessageA(c, WM_GETDLGCODE, 0, 0);
    if (c == focus && onButton && (code & DLGC_UNDEFPUSHBUTTON))
      SendMessageA(c, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    else if (c != focus && (code & DLGC_DEFPUSHBUTTON))
      SendMessageA(c, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  }
}

LRESULT CALLBACK followFocus(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message == WM_SETFOCUS) showDefaultBorder(GetParent(control), control);
  return DefSubclassProc(control, message, wParam, lParam);
}

}  // namespace

void keepDefaultBorderWithFocus(HWND dialog) {
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    SetWindowSubclass(c, followFocus, kDefaultBorderSubclass, 0);
}

void disableKeepingFocus(HWND control, HWND focusTo) {
  if (GetFocus() == control) {
    HWND dialog = GetParent(control);
    if (focusTo && IsWindowEnabled(focusTo) && IsWindowVisible(focusTo))
      SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focusTo), TRUE);
    else
      SendMessageA(dialog, WM_NEXTDLGCTL, 0, FALSE);
  }
  EnableWindow(control, FALSE);
}

DisabledWhileBusy::DisabledWhileBusy(HWND button) : button_(button), hadFocus_(GetFocus() == button) {
  EnableWindow(button_, FALSE);
}

void DisabledWhileBusy::enable() {
  if (enabled_) return;
  enabled_ = true;
  EnableWindow(button_, TRUE);
  // Only in a window that is still the active one: the focus does not pull
  // it to the front.
  HWND dialog = GetParent(button_);
  if (hadFocus_ && GetActiveWindow() == dialog)
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(button_), TRUE);
}

}  // namespace ui
