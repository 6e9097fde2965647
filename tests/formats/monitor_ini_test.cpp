// monitor.ini as read from its bytes: what each item is checked for, and the one problem text each
// unusable line gives while the rest applies.
#include "formats/monitor_ini.h"

#include <gtest/gtest.h>

namespace {

using formats::ItemChecks;
using formats::LimitAction;

ItemChecks checks(long hang, long memory, long cpu, long seconds, LimitAction action) {
  return {hang, memory, cpu, seconds, action};
}

TEST(MonitorIni, ItemSectionsOverDefaultsOverBuiltInValues) {
  const auto restart = LimitAction::restart, alert = LimitAction::alert;
  const struct {
    const char* text;
    const char* item;
    ItemChecks expected;
  } cases[] = {
      {"", "any.exe", checks(0, 0, 0, 60, restart)},
      {"[Defaults]\r\nMemoryLimitMB=100\r\n", "any.exe", checks(0, 100, 0, 60, restart)},
      // Letter case and blanks around sections, keys and values; comments from ; or # on.
      {"  [ hog.EXE ]  ; the leaking one\r\n  memorylimitmb =  300 # MB\r\nLIMITACTION= Alert\r\n", "Hog.exe",
       checks(0, 300, 0, 60, alert)},
      // An item's own key wins over [Defaults], whichever comes first; the others still apply.
      {"[hog.exe]\nLimitSeconds=3\n[Defaults]\nLimitSeconds=10\nCpuLimitPercent=50\n", "hog.exe",
       checks(0, 0, 50, 3, restart)},
      {"[hog.exe]\nLimitSeconds=3\n[Defaults]\nLimitSeconds=10\n", "other.exe", checks(0, 0, 0, 10, restart)},
      // An item may turn off what [Defaults] turns on.
      {"[Defaults]\rNotRespondingSeconds=5\r[quiet.exe]\rNotRespondingSeconds=0\r", "quiet.exe",
       checks(0, 0, 0, 60, restart)},
      // A section given twice adds to the first; a key given twice takes the later line.
      {"[a.exe]\nCpuLimitPercent=20\n[b.exe]\n[A.exe]\nCpuLimitPercent=30\nLimitAction=alert\n", "a.exe",
       checks(0, 0, 30, 60, alert)},
      // A bad value leaves the key as if unset; a UTF-8 mark from Notepad is no part of the first line.
      {"\xEF\xBB\xBF[Defaults]\nLimitSeconds=9\n[x.exe]\nLimitSeconds=0\nMemoryLimitMB=-5\nLimitAction="
       "kill\n",
       "x.exe", checks(0, 0, 0, 9, restart)},
      {"[x.exe]\nNotRespondingSeconds=86400\nMemoryLimitMB=1048576\nCpuLimitPercent=100\nLimitSeconds=1\n",
       "x.exe", checks(86400, 1048576, 100, 1, restart)},
  };
  for (const auto& c : cases)
    EXPECT_EQ(formats::readMonitorIniText(c.text).checksFor(c.item), c.expected) << c.text;
}

TEST(MonitorIni, EachUnusableLineGivesOneProblemWithItsNumber) {
  const struct {
    const char* text;
    std::vector<std::string> problems;
  } cases[] = {
      {"; only a comment\r\n\r\n   \r\n[Engine]\r\n[Defaults]\r\n", {}},
      {"MemoryLimitMB=5\r\n", {"monitor.ini line 1: \"MemoryLimitMB=5\" stands before any [Section]"}},
      {"[a.exe]\r\n\r\n\r\n\r\n\r\n\r\nMemoryLimit=5\r\n",
       {"monitor.ini line 7: unknown key \"MemoryLimit\""}},
      {"[Engine]\nColour=red\n", {"monitor.ini line 2: unknown key \"Colour\" in [Engine]"}},
      {"[a.exe\nnonsense\n[]\n=5\n",
       {"monitor.ini line 1: cannot read \"[a.exe\": a section is a name in brackets",
        "monitor.ini line 2: cannot read \"nonsense\": neither [Section] nor Key=Value",
        "monitor.ini line 3: cannot read \"[]\": a section is a name in brackets",
        "monitor.ini line 4: cannot read \"=5\": neither [Section] nor Key=Value"}},
      {"[a.exe]\nCpuLimitPercent=101\nLimitSeconds=0\nMemoryLimitMB=1.5\nNotRespondingSeconds=\n",
       {"monitor.ini line 2: CpuLimitPercent \"101\" is not a whole number from 0 to 100",
        "monitor.ini line 3: LimitSeconds \"0\" is not a whole number from 1 to 86400",
        "monitor.ini line 4: MemoryLimitMB \"1.5\" is not a whole number from 0 to 1048576",
        "monitor.ini line 5: NotRespondingSeconds \"\" is not a whole number from 0 to 86400"}},
      {"[Defaults]\nLimitAction=kill\nLimitAction=alert\nlimitaction=restart\n",
       {"monitor.ini line 2: LimitAction \"kill\" is neither restart nor alert",
        "monitor.ini line 4: LimitAction set again in [Defaults]: this line applies"}},
      // Line numbers count lone CRs and lone LFs as line ends, and CR LF as one.
      {"[a.exe]\r\n\r\r\n\nbad\r\n",
       {"monitor.ini line 5: cannot read \"bad\": neither [Section] nor Key=Value"}},
  };
  for (const auto& c : cases) EXPECT_EQ(formats::readMonitorIniText(c.text).problems, c.problems) << c.text;
}

TEST(MonitorIni, SectionsAreMatchedAgainstTheItemList) {
  const auto ini = formats::readMonitorIniText(
      "[Defaults]\nLimitSeconds=5\n[notepad.exe]\nCpuLimitPercent=5\n[gone.exe]\n"
      "[Print Spooler]\nMemoryLimitMB=5\nLimitAction=alert\n[Event Log]\n");
  const formats::IniItem items[] = {{"NOTEPAD.EXE", false}, {"print spooler", true}, {"Event Log", true}};
  EXPECT_EQ(formats::sectionProblems(ini, items),
            (std::vector<std::string>{
                "monitor.ini line 5: [gone.exe] names no item of processes.ob",
                "monitor.ini line 6: [Print Spooler] is a service item: MemoryLimitMB, LimitAction apply to "
                "programs only"}));
}

}  // namespace
