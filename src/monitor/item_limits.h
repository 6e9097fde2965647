#pragma once
// The checks of monitor.ini on the engine's side: each program item's
// settings from the file, and once a second, for the items the engine acts
// for, a sample of their processes (private bytes, CPU as a share of the
// whole machine) and, in the engine program, a round of the hang probe; the
// decisions (limit_policy.h) say what to do, and it is done here: the
// processes ended, or the alert logged and its e-mail arranged.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "formats/monitor_ini.h"
#include "monitor/duty_policy.h"
#include "monitor/hang_probe.h"
#include "monitor/item_watch.h"
#include "win/process_table.h"

namespace monitor {

inline constexpr std::int64_t kSampleMs = 1000;

class ItemLimits {
 public:
  explicit ItemLimits(EngineKind kind);

  // Sets each item's checks from new contents of monitor.ini, or from those
  // in force when `ini` is null (a new item list). Returns the lines for the
  // log: with `problems`, the file's problems when it is new and each section
  // that names no item or a service item, once for as long as it stays so (an
  // engine that leaves them to the other one, which reads the same file,
  // passes false); and, in the service, once, that hang checks are left to
  // the engine program.
  std::vector<std::string> configure(Items& items, const formats::MonitorIni* ini, bool problems);

  // When the next round is due: every second while a program item has a check.
  std::optional<std::int64_t> dueAt(const Items& items) const;

  // One round at `now` over the items `acts` says the engine acts for.
  void check(Items& items, const Moment& now, const StopActions& actions, Events& log,
             const std::function<bool(const Item&)>& acts);

 private:
  void sample(Item& item, const Moment& now, const StopActions& actions, Events& log);
  void carry(Item& item, const LimitAction& action, const Moment& now, const StopActions& actions,
             Events& log);

  EngineKind kind_;
  unsigned processors_;
  formats::MonitorIni ini_;
  std::unordered_set<std::string> logged_;  // the section problems logged and still found
  bool hangNoted_ = false;
  std::int64_t last_ = 0;
  win::ProcessTable table_;
  std::unordered_map<DWORD, win::ProcessTable::Usage> usage_;  // of this round
  std::unordered_set<DWORD> checked_;                          // the instances of the last round
  HangProbe probe_;
};

}  // namespace monitor
