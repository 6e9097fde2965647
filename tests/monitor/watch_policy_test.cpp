// When a busy folder is read, and how a recurring failure is logged.
#include "monitor/watch_policy.h"

#include <gtest/gtest.h>

namespace {

using namespace monitor;

// The times (ms) at which the files are read while the folder changes at
// `changes`, checked every 50 ms up to 3 s.
std::vector<std::int64_t> readTimes(const std::vector<std::int64_t>& changes) {
  ReadSchedule schedule;
  std::vector<std::int64_t> reads;
  auto next = changes.begin();
  for (std::int64_t t = 0; t <= 3000; t += 50) {
    for (; next != changes.end() && *next <= t; ++next) schedule.changed(t);
    if (schedule.due() && t >= *schedule.due()) {
      reads.push_back(t);
      schedule.read();
    }
  }
  return reads;
}

TEST(ReadSchedule, ReadsWhenTheFolderIsQuietOrOneSecondAfterTheFirstChange) {
  EXPECT_EQ(readTimes({100}), (std::vector<std::int64_t>{300}));
  EXPECT_EQ(readTimes({100, 250, 400}), (std::vector<std::int64_t>{600}));
  std::vector<std::int64_t> busy;  // a change every 100 ms
  for (std::int64_t t = 0; t <= 3000; t += 100) busy.push_back(t);
  EXPECT_EQ(readTimes(busy), (std::vector<std::int64_t>{1000, 2100}));
  ReadSchedule schedule;
  schedule.retryAt(700);
  schedule.changed(100);
  EXPECT_EQ(schedule.due(), 300);
  schedule.read();
  EXPECT_EQ(schedule.due(), std::nullopt);
}

TEST(FaultNote, OneLineWhenAFailureBeginsAndOneWhenItEnds) {
  FaultNote note("processes.ob", "read", "the list read before stays in force");
  EXPECT_EQ(note.update(std::nullopt), std::nullopt);
  EXPECT_EQ(
      note.update("Sharing violation (error 32)"),
      "processes.ob cannot be read (Sharing violation (error 32)): the list read before stays in force");
  EXPECT_EQ(note.update("Access is denied. (error 5)"), std::nullopt);
  EXPECT_EQ(note.update(std::nullopt), "processes.ob can be read again");
  EXPECT_EQ(note.update(std::nullopt), std::nullopt);
}

}  // namespace
