#pragma once
// The hourglass for the life of a scope: handlers that work on files or
// lists show it, and every path out of them, errors included, sets the arrow
// back.
#include <windows.h>

namespace ui {

inline void showArrow() { SetCursor(LoadCursorA(nullptr, IDC_ARROW)); }

// The windows keep the hourglass while one is alive: they answer
// WM_SETCURSOR with keepHourglass(), since window events (a mouse move
// included) run while a handler waits.
class WaitCursor {
 public:
  WaitCursor() {
    ++depth();
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  }
  ~WaitCursor() {
    if (--depth() == 0) showArrow();
  }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

  // True, with the hourglass set, while a WaitCursor is alive.
  static bool keepHourglass() {
    if (depth() == 0) return false;
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    return true;
  }

 private:
  static int& depth() {
    static int n = 0;
    return n;
  }
};

}  // namespace ui
