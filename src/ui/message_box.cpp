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
// its focus is set anew, which gives it the keyboard. The window system may
// still hand the keyboard back to the hidden owner after the first try, from
// events about that window it reads late, so the box takes it again at each
// tick for its first moments on screen. The control that has the focus keeps
// it throughout.
constexpr UINT kKeyboardTick = 100;
constexpr int kKeyboardTakes = 8;

thread_local int keyboardTakes = 0;

void CALLBACK takeKeyboard(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND box = GetActiveWindow();
  HWND focus = GetFocus();
  if (!box || !IsWindowVisible(box)) return;  // at the next tick
  if (++keyboardTakes >= kKeyboardTakes) KillTimer(nullptr, timer);
  if (!focus) return;
  SetFocus(box);
  SendMessageA(box, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focus), TRUE);
}

}  // namespace

bool confirm(HWND owner, const std::string& text, const char* title) {
  // Brought to the front with the keyboard: it may be asked from the tray
  // with its owner hidden.
  keyboardTakes = 0;
  const UINT_PTR timer = SetTimer(nullptr, 0, kKeyboardTick, takeKeyboard);
  const bool yes = MessageBoxA(owner, text.c_str(), title, MB_YESNO | MB_SETFOREGROUND) == IDYES;
  KillTimer(nullptr, timer);
  return yes;
}

}  // namespace ui
