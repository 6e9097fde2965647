#include "monitor/hang_probe.h"

#include <utility>

namespace monitor {
namespace {

struct Search {
  const std::unordered_set<DWORD>* processes;
  std::unordered_map<HWND, DWORD> found;
};

BOOL CALLBACK visit(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<Search*>(context);
  DWORD process = 0;
  if (IsWindowVisible(window) && GetWindowThreadProcessId(window, &process) &&
      search.processes->contains(process))
    search.found.emplace(window, process);
  return TRUE;
}

}  // namespace

HangProbe::~HangProbe() {
  // The answers still to come find no probe: they are taken and dropped here.
  open_.clear();
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

void CALLBACK HangProbe::answered(HWND window, UINT, ULONG_PTR probe, LRESULT) {
  auto& open = reinterpret_cast<HangProbe*>(probe)->open_;
  if (const auto question = open.find(window); question != open.end()) question->second.answered = true;
}

std::unordered_map<DWORD, std::int64_t> HangProbe::round(const std::unordered_set<DWORD>& processes,
                                                         std::int64_t now) {
  // The answers come in as this thread looks at its messages.
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  for (auto question = open_.begin(); question != open_.end();)
    question = question->second.answered ? open_.erase(question) : std::next(question);

  Search search{&processes, {}};
  if (!processes.empty()) EnumWindows(visit, reinterpret_cast<LPARAM>(&search));
  std::unordered_map<DWORD, std::int64_t> unanswered;
  for (auto question = open_.begin(); question != open_.end();) {
    // A window closed or hidden meanwhile is asked no more.
    if (!search.found.contains(question->first)) {
      question = open_.erase(question);
      continue;
    }
    auto [entry, added] = unanswered.emplace(question->second.process, question->second.askedAt);
    if (!added && question->second.askedAt < entry->second) entry->second = question->second.askedAt;
    ++question;
  }
  for (const auto& [window, process] : search.found) {
    if (open_.contains(window)) continue;
    if (SendMessageCallbackA(window, WM_NULL, 0, 0, answered, reinterpret_cast<ULONG_PTR>(this)))
      open_.emplace(window, Question{process, now});
  }
  return unanswered;
}

}  // namespace monitor
