#pragma once
// The hourglass for the life of a scope: handlers that work on files or
// lists show it, and every path out of them, errors included, sets the arrow
// back.
#include <windows.h>

namespace ui {

inline void showArrow() { SetCursor(LoadCursorA(nullptr, IDC_ARROW)); }

class WaitCursor {
 public:
  WaitCursor() { SetCursor(LoadCursorA(nullptr, IDC_WAIT)); }
  ~WaitCursor() { showArrow(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace ui
