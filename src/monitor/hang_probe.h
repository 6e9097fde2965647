#pragma once
// Whether the windows of some processes answer, asked without waiting: each
// round, every visible top-level window of those processes that has no
// question open gets WM_NULL through SendMessageCallback, which the window
// answers when it next handles its messages; the answers reach this thread
// as its owner dispatches its messages (the engine's wait does), and are
// collected at the next round. A window that handles no messages leaves its question open,
// and the time it was asked tells how long it has not answered. Needs the
// user's session: a service sees none of the user's windows.
//
// Listing every top-level window of the desktop is the dearest step under
// Wine (a call to the Wine server per window), so the windows found are kept:
// the list is walked again every fifth round, and each round while a process
// is new to the probe and has shown no window yet (for its first five).
#include <windows.h>

#include <cstdint>
#include <unordered_map>
#include <unordered_set>

namespace monitor {

class HangProbe {
 public:
  HangProbe() = default;
  ~HangProbe();
  HangProbe(const HangProbe&) = delete;
  HangProbe& operator=(const HangProbe&) = delete;

  // One round over the windows of `processes` (ids): for each process with a
  // window that has not answered a question asked in an earlier round, when
  // the oldest such question was asked, on GetTickCount64's scale.
  std::unordered_map<DWORD, std::int64_t> round(const std::unordered_set<DWORD>& processes);

 private:
  struct Question {
    DWORD process = 0;
    std::int64_t askedAt = 0;
    bool answered = false;
  };
  static void CALLBACK answered(HWND window, UINT, ULONG_PTR probe, LRESULT);

  std::unordered_map<HWND, Question> open_;
  std::unordered_map<HWND, DWORD> windows_;  // the visible windows of the processes, as last listed
  std::unordered_map<DWORD, int> listed_;    // the processes listed: how often without a window
  int sinceListed_ = 0;                      // rounds since then
};

}  // namespace monitor
