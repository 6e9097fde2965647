#pragma once
// The engine program's hidden top-level window, made on the engine's own
// thread, which dispatches its messages while it waits: a thread of its own
// would cost a megabyte under Wine. Windows tells the top-level windows of a
// session that it ends (log-off or shutdown) with WM_QUERYENDSESSION and then
// WM_ENDSESSION; a message-only window hears neither.
#include <windows.h>

#include <functional>

#include "win/unique_resource.h"

namespace monitor {

class SessionEndWindow {
 public:
  // At WM_QUERYENDSESSION `ending` (a manual-reset event) is set, and reset
  // again when the end is called off. When the session does end, `stop` is
  // set too and `finish` called, if it holds a call: Windows may end the
  // process as soon as the window has answered.
  SessionEndWindow(HANDLE ending, HANDLE stop, const std::function<void()>& finish);

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HANDLE ending_, stop_;
  const std::function<void()>& finish_;
  win::unique_hwnd window_;  // none when it cannot be made: only the end of the session goes unheard
};

}  // namespace monitor
