#include "monitor/engine_wait.h"

#include <algorithm>

namespace monitor {
namespace {

void CALLBACK processEnded(void* context, BOOLEAN) {
  auto* watch = static_cast<Watch*>(context);
  watch->ended = true;
  SetEvent(watch->wake);
}

// Hands the watch to the thread pool; false when it cannot be waited on there.
bool waitFromPool(Watch& watch) {
  return watch.wait ||
         RegisterWaitForSingleObject(watch.wait.put(), watch.process.get(), processEnded, &watch, INFINITE,
                                     WT_EXECUTEONLYONCE | WT_EXECUTEINWAITTHREAD);
}

}  // namespace

WaitOutcome waitForEvents(const std::vector<HANDLE>& events, Items& items, DWORD timeoutMs, bool messages) {
  // A wait that also takes messages takes one handle fewer.
  const DWORD most = messages ? MAXIMUM_WAIT_OBJECTS - 1 : MAXIMUM_WAIT_OBJECTS;
  HANDLE handles[MAXIMUM_WAIT_OBJECTS];
  Watch* direct[MAXIMUM_WAIT_OBJECTS] = {};
  DWORD count = 0;
  for (HANDLE event : events) handles[count++] = event;
  const DWORD first = count;
  for (auto& item : items) {
    auto& watches = item->watches;
    for (auto& watch : watches) {
      if (watch->ended || watch->wait) continue;
      if (count < most) {
        direct[count] = watch.get();
        handles[count++] = watch->process.get();
      } else if (!waitFromPool(*watch)) {
        watch.reset();
      }
    }
    watches.erase(std::remove(watches.begin(), watches.end(), nullptr), watches.end());
  }

  // Messages are dispatched and the wait goes on, for what is left of its time: the
  // window's and the hang probe's answers need no turn of the engine.
  const ULONGLONG start = GetTickCount64();
  DWORD result = WAIT_TIMEOUT;
  for (;;) {
    const ULONGLONG waited = GetTickCount64() - start;
    const DWORD left = timeoutMs == INFINITE ? INFINITE
                       : waited >= timeoutMs ? 0
                                             : timeoutMs - static_cast<DWORD>(waited);
    result = messages ? MsgWaitForMultipleObjectsEx(count, handles, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE)
                      : WaitForMultipleObjects(count, handles, FALSE, left);
    if (!messages || result != WAIT_OBJECT_0 + count) break;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
  if (result == WAIT_FAILED) {
    const DWORD error = GetLastError();
    // A process handle the wait refuses is let go: the walks open the process again.
    for (DWORD i = first; i < count; ++i)
      if (WaitForSingleObject(handles[i], 0) == WAIT_FAILED) direct[i]->ended = true;
    return {nullptr, error};
  }
  if (result == WAIT_TIMEOUT) return {};
  const DWORD index = result >= WAIT_ABANDONED_0 ? result - WAIT_ABANDONED_0 : result - WAIT_OBJECT_0;
  if (index < first) return {handles[index], NO_ERROR};
  // The lowest index that is set is told: the processes after it may have ended too.
  direct[index]->ended = true;
  for (DWORD i = index + 1; i < count; ++i)
    if (WaitForSingleObject(handles[i], 0) == WAIT_OBJECT_0) direct[i]->ended = true;
  return {events.size() > 1 ? events[1] : nullptr, NO_ERROR};
}

}  // namespace monitor
