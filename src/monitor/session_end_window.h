#pragma once
// The engine program's hidden top-level window, on a thread of its own that
// does nothing else. Windows tells the top-level windows of a session that it
// ends (log-off or shutdown) with WM_QUERYENDSESSION and then WM_ENDSESSION;
// a message-only window hears neither, and a thread busy elsewhere would
// hold the whole session up.
#include <windows.h>

#include <atomic>
#include <thread>

namespace monitor {

class SessionEndWindow {
 public:
  // At WM_QUERYENDSESSION `ending` (a manual-reset event) is set, and reset
  // again when the end is called off. When the session does end, `stop` is
  // set too, and the window waits a few seconds for `ended` (set by the
  // caller once the engine has finished) before Windows may end the process.
  SessionEndWindow(HANDLE ending, HANDLE stop, HANDLE ended);
  ~SessionEndWindow();
  SessionEndWindow(const SessionEndWindow&) = delete;
  SessionEndWindow& operator=(const SessionEndWindow&) = delete;

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void run();

  HANDLE ending_, stop_, ended_;
  std::atomic<HWND> window_{nullptr};
  std::atomic<bool> closing_{false};
  std::thread thread_;  // last: starts once everything above is ready
};

}  // namespace monitor
