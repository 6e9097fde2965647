#include "monitor/hang_probe.h"

#include <algorithm>
#include <utility>

namespace monitor {
namespace {

constexpr int kListEvery = 5;  // rounds

struct Search {
  const std::unordered_set<DWORD>* processes;
  std::unordered_map<HWND, DWORD> found;
};

BOOL CALLBACK visit(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<Search*>(context);
  DWORD process = 0;
  // The process first: most windows of the desktop belong to others.
  if (GetWindowThreadProcessId(window, &process) && search.processes->contains(process) &&
      IsWindowVisible(window))
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

std::unordered_map<DWORD, std::int64_t> HangProbe::round(const std::unordered_set<DWORD>& processes) {
  // The answers have come in as the engine's wait dispatched this thread's
  // messages; nothing is dispatched here, in the middle of the engine's turn.
  for (auto question = open_.begin(); question != open_.end();)
    question = question->second.answered ? open_.erase(question) : std::next(question);

  const bool unsettled = std::any_of(processes.begin(), processes.end(), [&](DWORD p) {
    const auto found = listed_.find(p);
    return found == listed_.end() || found->second < kListEvery;
  });
  if (unsettled || ++sinceListed_ >= kListEvery) {
    Search search{&processes, {}};
    if (!processes.empty()) EnumWindows(visit, reinterpret_cast<LPARAM>(&search));
    windows_ = std::move(search.found);
    std::unordered_map<DWORD, int> listed;
    for (const DWORD p : processes) {
      const bool shown =
          std::any_of(windows_.begin(), windows_.end(), [&](const auto& w) { return w.second == p; });
      const auto before = listed_.find(p);
      listed[p] = shown ? kListEvery : (before == listed_.end() ? 1 : before->second + 1);
    }
    listed_ = std::move(listed);
    sinceListed_ = 0;
  }
  std::unordered_map<DWORD, std::int64_t> unanswered;
  for (auto question = open_.begin(); question != open_.end();) {
    // A window closed or hidden meanwhile, or of a process no longer asked about, is asked no more.
    if (!windows_.contains(question->first) || !processes.contains(question->second.process) ||
        !IsWindow(question->first)) {
      windows_.erase(question->first);
      question = open_.erase(question);
      continue;
    }
    auto [entry, added] = unanswered.emplace(question->second.process, question->second.askedAt);
    if (!added && question->second.askedAt < entry->second) entry->second = question->second.askedAt;
    ++question;
  }
  for (auto window = windows_.begin(); window != windows_.end();) {
    // The time of the asking itself: the round may come late after the
    // engine's other work, or take long on a busy desktop.
    const auto askedAt = static_cast<std::int64_t>(GetTickCount64());
    if (open_.contains(window->first) || !processes.contains(window->second)) {
      ++window;
    } else if (SendMessageCallbackA(window->first, WM_NULL, 0, 0, answered,
                                    reinterpret_cast<ULONG_PTR>(this))) {
      open_.emplace(window->first, Question{window->second, askedAt});
      ++window;
    } else {
      window = windows_.erase(window);  // gone
    }
  }
  return unanswered;
}

}  // namespace monitor
