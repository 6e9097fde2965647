// The engine's wait with more instances than one wait of the system holds: every end is marked, those
// beyond through the thread pool, and no other.
#include "monitor/engine_wait.h"

#include <gtest/gtest.h>

namespace {

using namespace monitor;

TEST(EngineWait, MarksEveryEndAlsoBeyondOneWaitsReach) {
  win::unique_handle stop(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      wake(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  const std::vector<HANDLE> events{stop.get(), wake.get()};
  Items items;
  items.push_back(std::make_unique<Item>("a.exe", "C:\\a.exe", false));
  std::vector<HANDLE> instances;  // events stand in for the processes: a wait treats both alike
  for (int i = 0; i < 70; ++i) {
    instances.push_back(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(watchProcess(*items[0], win::unique_handle(instances.back()), wake.get()));
  }
  for (const bool messages : {false, true}) {
    ResetEvent(wake.get());  // a pool's wait may have set it after the direct wait saw an end
    EXPECT_EQ(waitForEvents(events, items, 0, messages).signalled, nullptr);
    for (const int i : {3, 5, 68}) SetEvent(instances[i]);
    std::vector<std::unique_ptr<Watch>> ended;
    for (int turn = 0; turn < 50 && ended.size() < 3; ++turn) {
      EXPECT_EQ(waitForEvents(events, items, 1000, messages).signalled, wake.get());
      takeEnded(items, ended);
    }
    ASSERT_EQ(ended.size(), 3u);
    for (const auto& watch : ended) {
      EXPECT_TRUE(watch->process.get() == instances[3] || watch->process.get() == instances[5] ||
                  watch->process.get() == instances[68]);
      ResetEvent(watch->process.get());
      ASSERT_TRUE(watchProcess(*items[0], std::move(watch->process), wake.get()));
    }
    EXPECT_EQ(items[0]->watches.size(), 70u);
    SetEvent(stop.get());
    EXPECT_EQ(waitForEvents(events, items, 1000, messages).signalled, stop.get());
    ResetEvent(stop.get());
  }
}

}  // namespace
