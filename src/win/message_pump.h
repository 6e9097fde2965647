#pragma once
// Waits that keep a thread's windows alive: the window events waiting in the
// queue are handled, and a quit request is kept for the main loop.
#include <windows.h>

namespace win {

// Handles the window events waiting in the queue, the keys of the active
// dialog as its own loop does (Tab, Enter, Esc, accelerators). At a quit
// request it stops and remembers it (`quit`, `quitCode`); the events after
// it wait for the caller's wait to end, and the caller posts the quit again
// then.
inline void pumpWindowEvents(bool& quit, int& quitCode) {
  MSG msg;
  while (!quit && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      quit = true;
      quitCode = static_cast<int>(msg.wParam);
      break;
    }
    if (HWND active = GetActiveWindow(); active && IsDialogMessageA(active, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace win
