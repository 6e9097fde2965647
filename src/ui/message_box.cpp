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

namespace {

// A box whose owner is hidden is made active before it is on screen; under X
// the keyboard then stays with the window that had it. Once the box shows,
// its focus is set anew, which gives it the keyboard.
void CALLBACK takeKeyboard(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND box = GetActiveWindow();
  HWND focus = GetFocus();
  if (!box || !IsWindowVisible(box)) return;  // at the next tick
  KillTimer(nullptr, timer);
  if (!focus) return;
  SetFocus(box);
  SendMessageA(box, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focus), TRUE);
}

}  // namespace

bool confirm(HWND owner, const std::string& text, const char* title) {
  // Brought to the front with the keyboard: it may be asked from the tray
  // with its owner hidden.
  const UINT_PTR timer = SetTimer(nullptr, 0, 100, takeKeyboard);
  const bool yes = MessageBoxA(owner, text.c_str(), title, MB_YESNO | MB_SETFOREGROUND) == IDYES;
  KillTimer(nullptr, timer);
  return yes;
}

}  // namespace ui
