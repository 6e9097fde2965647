#pragma once
// The monitored items as the engine sees them. A program item runs while any
// process of its image name runs (letter case ignored): each instance found
// is waited on, and the process list is walked for items with none. A service item is looked up by display
// name in the service list.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/item_file.h"
#include "formats/monitor_ini.h"
#include "monitor/limit_policy.h"
#include "monitor/stop_policy.h"
#include "win/process_table.h"
#include "win/services.h"
#include "win/unique_resource.h"

namespace monitor {

// One running instance of a program item, waited on by the engine itself
// or, when its wait is full, from the thread pool (engine_wait.h); its end
// marks it ended.
struct Watch {
  HANDLE wake = nullptr;
  std::atomic<bool> ended{false};
  win::unique_handle process;
  DWORD processId = 0;
  std::optional<std::uint64_t> cpu100ns;  // its CPU time at the last sample
  std::int64_t cpuAt = 0;                 // and when that was
  win::unique_wait wait;                  // from the pool; last, so it is unregistered before the rest goes
};

struct Item {
  Item(std::string itemName, std::string itemPath, bool isService);

  std::uint64_t id;  // never reused: outcomes that come in late find their item, or none
  std::string name;
  std::string path;
  bool service;
  ItemPolicy policy;
  formats::ItemChecks checks;  // from monitor.ini
  LimitPolicy limits;
  std::int64_t startedAt = -1;                  // when the engine's last start had its outcome
  std::vector<std::unique_ptr<Watch>> watches;  // the instances waited on
};
using Items = std::vector<std::unique_ptr<Item>>;
using Seen = std::function<void(Item&, bool running)>;

// The items of a new list. Items that stay (same kind and name, letter case
// ignored) keep what the engine knows of them; the others are dropped.
Items mergeItems(Items& old, const formats::ItemTable& table);

// Watches one more instance of the item from now on; false when there is no
// process to watch.
bool watchProcess(Item& item, win::unique_handle process, HANDLE wake);

// Moves the watches whose process has ended to `ended` (they are dropped
// after the restart: a wait of the pool's is unregistered then, which may
// wait for the pool); the items left with none.
std::vector<Item*> takeEnded(Items& items, std::vector<std::unique_ptr<Watch>>& ended);

// One walk of the process list for every program item without a process
// waited on: its running instances are waited on from now, and `seen` told
// whether it runs. The system's error code when the list cannot be had.
DWORD walkProcesses(Items& items, win::ProcessTable& table, HANDLE wake, const Seen& seen);

// The service states of a listing asked for at `askedAt`, for every service
// item but one whose start has had its outcome since (the listing is older);
// the error code when the list could not be had.
DWORD applyServices(Items& items, const win::ServiceListing& listing, std::int64_t askedAt, const Seen& seen);

// A program item without a process waited on, and no start of its own under way.
inline bool unwatchedProgram(const Item& item) {
  return !item.service && item.watches.empty() && !item.policy.restarting();
}

}  // namespace monitor
