// Who restarts what between the engine program and the service of a folder.
#include "monitor/duty_policy.h"

#include <clocale>
#include <gtest/gtest.h>

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
  // The service and the user may have different locales: the same name whatever the locale folds.
  const auto ascii = dutyLockName("C:\\Tools\\\xC4rger", P);
  std::setlocale(LC_CTYPE, ".1252");
  EXPECT_EQ(dutyLockName("C:\\Tools\\\xC4rger", P), ascii);
  std::setlocale(LC_CTYPE, "C");
}

}  // namespace
