#pragma once
// The keyboard focus in the utility's dialogs, kept where a keyboard user
// can go on from: it does not vanish with a control that is disabled, and
// the default border goes with it whether a key or the mouse moved it.
#include <windows.h>

namespace ui {

// The default border follows the focus in this dialog, as the dialog
// manager's Tab moves it: a push button with the focus shows it, and with
// the focus anywhere else no button does (the dialogs have no default button
// of their own). The mouse moves the focus too; on its own, the border would
// stay with the last button that Tab reached.
void keepDefaultBorderWithFocus(HWND dialog);

// Disables a control. When it has the focus, the focus moves first to
// `focusTo` (when it is enabled) or else to the next control in tab order,
// so that it is not lost with the control.
void disableKeepingFocus(HWND control, HWND focusTo = nullptr);

// A button disabled while its handler runs. A disabled control cannot keep
// the focus; when it had it, it gets it back once it is enabled again.
class DisabledWhileBusy {
 public:
  explicit DisabledWhileBusy(HWND button);
  ~DisabledWhileBusy() { enable(); }
  DisabledWhileBusy(const DisabledWhileBusy&) = delete;
  DisabledWhileBusy& operator=(const DisabledWhileBusy&) = delete;
  // Enables the button again (once; later calls do nothing).
  void enable();

 private:
  HWND button_;
  bool hadFocus_;
  bool enabled_ = false;
};

}  // namespace ui
