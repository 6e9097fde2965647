// Who restarts what between the engine program and the service of a folder,
// when a busy folder is read, and how a recurring failure is logged.
#include "monitor/duty_policy.h"

#include <gtest/gtest.h>

#include "monitor/watch_policy.h"

namespace {

using namespace monitor;
constexpr auto P = EngineKind::Program, S = EngineKind::Service;

TEST(Duty, EachKindOfItemHasOneEngineThatActsForIt) {
  struct Case {
    EngineKind self;
    DutyView view;
    bool programs, services;
    const char* text;
  } cases[] = {
      {P, {false, true, true}, true, false, "restarts programs; the service restarts services"},
      {P, {false, true, false}, true, true, "restarts programs and services"},
      {S, {false, true, true}, false, true, "restarts services; the engine program restarts programs"},
      {S,
       {false, true, false},
       true,
       true,
       "restarts services, and programs as LocalSystem in the services' session"},
      {P,
       {false, false, false},
       false,
       false,
       "restarts nothing while another engine program of this folder runs"},
      {S,
       {false, false, true},
       false,
       false,
       "restarts nothing while another engine service of this folder runs"},
      {S,
       {true, false, true},
       true,
       true,
       "restarts services, and programs as LocalSystem in the services' session"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(actsFor(c.self, c.view, false), c.programs) << c.text;
    EXPECT_EQ(actsFor(c.self, c.view, true), c.services) << c.text;
    EXPECT_EQ(dutyText(c.self, c.view), c.text);
  }
}

TEST(Duty, TheLocksBelongToOneFolderWhateverItsLetterCase) {
  const auto name = dutyLockName("C:\\Program Files\\Brennix", P);
  EXPECT_TRUE(name.starts_with("Global\\BrennixMonitor.") && name.ends_with(".program")) << name;
  EXPECT_EQ(dutyLockName("c:\\PROGRAM FILES\\brennix\\", P), name);
  for (const auto& other :
       {dutyLockName("C:\\Program Files\\Brennix2", P), dutyLockName("D:\\Program Files\\Brennix", P),
        dutyLockName("C:\\Program Files\\Brennix", S)})
    EXPECT_NE(other, name);
}

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
