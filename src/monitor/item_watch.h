#pragma once
// The monitored items as the engine sees them. A program item runs while any
// process of its image name runs (letter case ignored): each instance found
// is waited on from the system's thread pool, and the process list is walked
// for items with none. A service item is looked up by display name in the
// service list.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "formats/item_file.h"
#include "monitor/stop_policy.h"
#include "win/unique_resource.h"

namespace monitor {

// One running instance of a program item; its end sets the engine's wake event.
struct Watch {
  win::unique_handle process;
  win::unique_wait wait;  // after `process`, so it is unregistered before that closes
};

struct Item {
  Item(std::string itemName, std::string itemPath, bool isService)
      : name(std::move(itemName)), path(std::move(itemPath)), service(isService), policy(name) {}

  std::string name;
  std::string path;
  bool service;
  ItemPolicy policy;
  std::vector<std::unique_ptr<Watch>> watches;  // the instances waited on
};
using Items = std::vector<std::unique_ptr<Item>>;
using Seen = std::function<void(Item&, bool running)>;

// The items of a new list. Items that stay (same kind and name, letter case
// ignored) keep what the engine knows of them; the others are dropped.
Items mergeItems(Items& old, const formats::ItemTable& table);

// Waits on one more instance of the item; false when it cannot be waited on
// (the walks keep finding it then).
bool watchProcess(Item& item, win::unique_handle process, HANDLE wake);

// Moves the waits whose process has ended to `ended` (they are dropped after
// the restart: that waits for the pool); the items left with none.
std::vector<Item*> takeEnded(Items& items, std::vector<std::unique_ptr<Watch>>& ended);

// One walk of the process list for every program item without a process
// waited on: its running instances are waited on from now, and `seen` told
// whether it runs. The system's error code when the list cannot be had.
DWORD walkProcesses(Items& items, HANDLE wake, const Seen& seen);

// The service states, for every service item; the error code when the list
// cannot be had.
DWORD pollServices(Items& items, const Seen& seen);

inline bool unwatchedProgram(const Item& item) { return !item.service && item.watches.empty(); }

}  // namespace monitor
