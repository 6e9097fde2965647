#include "monitor/item_watch.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>

#include "base/text.h"
#include "monitor/item_control.h"

namespace monitor {
namespace {

std::atomic<std::uint64_t> lastItemId{0};

// An instance as the engine watches it: waited on, and where it may, known
// by its id and ended for the checks of monitor.ini.
HANDLE openInstance(DWORD processId) {
  constexpr DWORD kQuery = SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION;
  for (const DWORD rights : {kQuery | PROCESS_TERMINATE, kQuery, DWORD{SYNCHRONIZE}})
    if (HANDLE process = OpenProcess(rights, FALSE, processId)) return process;
  return nullptr;
}

}  // namespace

Item::Item(std::string itemName, std::string itemPath, bool isService)
    : id(++lastItemId),
      name(std::move(itemName)),
      path(std::move(itemPath)),
      service(isService),
      policy(name, isService) {}

Items mergeItems(Items& old, const formats::ItemTable& table) {
  Items next;
  for (const auto& line : table.slots) {
    if (!formats::isItemLine(line)) continue;
    const auto fields = formats::splitItem(line);
    if (fields.name.empty()) continue;
    const bool service = formats::isServicePath(fields.path);
    auto same = [&](const std::unique_ptr<Item>& item) {
      return item && item->service == service && base::equalsIgnoringCase(item->name, fields.name);
    };
    if (std::any_of(next.begin(), next.end(), same)) continue;
    auto known = std::find_if(old.begin(), old.end(), same);
    if (known != old.end()) {
      next.push_back(std::move(*known));
      next.back()->path = fields.path;
    } else {
      next.push_back(std::make_unique<Item>(std::string(fields.name), std::string(fields.path), service));
    }
  }
  return next;
}

bool watchProcess(Item& item, win::unique_handle process, HANDLE wake) {
  if (!process) return false;
  auto w = std::make_unique<Watch>();
  w->wake = wake;
  w->process = std::move(process);
  w->processId = GetProcessId(w->process.get());
  item.watches.push_back(std::move(w));
  return true;
}

std::vector<Item*> takeEnded(Items& items, std::vector<std::unique_ptr<Watch>>& ended) {
  std::vector<Item*> bare;
  for (auto& item : items) {
    auto& watches = item->watches;
    if (watches.empty()) continue;
    const auto gone = std::partition(watches.begin(), watches.end(), [](const auto& w) { return !w->ended; });
    if (gone == watches.end()) continue;
    std::move(gone, watches.end(), std::back_inserter(ended));
    watches.erase(gone, watches.end());
    if (watches.empty()) bare.push_back(item.get());
  }
  return bare;
}

DWORD walkProcesses(Items& items, win::ProcessTable& table, HANDLE wake, const Seen& seen) {
  std::vector<Item*> wanted;
  for (auto& item : items)
    if (unwatchedProgram(*item)) wanted.push_back(item.get());
  if (wanted.empty()) return NO_ERROR;
  std::vector<char> running(wanted.size(), false);
  const bool walked = table.walk([&](DWORD processId, std::string_view image) {
    for (std::size_t i = 0; i < wanted.size(); ++i) {
      if (!base::equalsIgnoringCase(wanted[i]->name, image)) continue;
      win::unique_handle process(openInstance(processId));
      // A process that has just ended may still be listed.
      if (process && WaitForSingleObject(process.get(), 0) != WAIT_TIMEOUT) continue;
      running[i] = true;
      watchProcess(*wanted[i], std::move(process), wake);
    }
  });
  if (!walked) return GetLastError();
  for (std::size_t i = 0; i < wanted.size(); ++i) seen(*wanted[i], running[i]);
  return NO_ERROR;
}

DWORD applyServices(Items& items, const win::ServiceListing& listing, std::int64_t askedAt,
                    const Seen& seen) {
  if (!listing.listed && listing.error != NO_ERROR) return listing.error;
  for (auto& item : items) {
    if (!item->service || item->startedAt >= askedAt) continue;
    const auto* entry = win::findService(listing.services, item->name);
    seen(*item, entry && serviceCountsAsRunning(entry->currentState));
  }
  return NO_ERROR;
}

}  // namespace monitor
