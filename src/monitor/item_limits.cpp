#include "monitor/item_limits.h"

#include <algorithm>

#include "monitor/item_control.h"

namespace monitor {
namespace {

// Ends one instance; false with the reason when it cannot be ended.
bool endInstance(const Watch& watch, std::string& failure) {
  if (TerminateProcess(watch.process.get(), 1)) return true;
  // Watched through a handle that may only wait: asked for one that may end it.
  win::unique_handle process(OpenProcess(PROCESS_TERMINATE, FALSE, watch.processId));
  if (process && TerminateProcess(process.get(), 1)) return true;
  failure = failureText(GetLastError());
  return false;
}

}  // namespace

ItemLimits::ItemLimits(EngineKind kind) : kind_(kind), processors_(win::processorCount()) {}

std::vector<std::string> ItemLimits::configure(Items& items, const formats::MonitorIni* ini, bool problems) {
  std::vector<std::string> lines;
  if (ini) {
    ini_ = *ini;
    if (problems) lines = ini_.problems;
  }
  std::vector<formats::IniItem> known;
  bool hangChecks = false;
  for (auto& item : items) {
    known.push_back({item->name, item->service});
    item->checks = item->service ? formats::ItemChecks{} : ini_.checksFor(item->name);
    hangChecks = hangChecks || item->checks.notRespondingSeconds > 0;
  }
  // Known by the section and what is wrong, not the line number: a section
  // the file still holds as it was is not logged again when lines move.
  std::unordered_set<std::string> current;
  for (auto& line : formats::sectionProblems(ini_, known)) {
    const auto section = line.find('[');
    std::string key = section == std::string::npos ? line : line.substr(section);
    if (problems && !logged_.contains(key)) lines.push_back(std::move(line));
    current.insert(std::move(key));
  }
  logged_ = std::move(current);
  if (kind_ == EngineKind::Service && hangChecks && !hangNoted_) {
    hangNoted_ = true;
    lines.emplace_back(
        "hang checks (NotRespondingSeconds) are left to the engine program: a service cannot see the user's "
        "windows");
  }
  return lines;
}

std::optional<std::int64_t> ItemLimits::dueAt(const Items& items) const {
  const bool any = std::any_of(items.begin(), items.end(), [](const auto& i) { return i->checks.any(); });
  return any ? std::optional(last_ + kSampleMs) : std::nullopt;
}

void ItemLimits::check(Items& items, const Moment& now, const StopActions& actions, Events& log,
                       const std::function<bool(const Item&)>& acts) {
  last_ = now.ms;
  const auto measured = [&](const auto& i) {
    return !i->service && acts(*i) && (i->checks.memoryLimitMB > 0 || i->checks.cpuLimitPercent > 0);
  };
  usage_.clear();
  // One walk of the process list reads every instance; a failed one leaves this round's samples empty.
  if (std::any_of(items.begin(), items.end(), measured))
    table_.usage([&](const win::ProcessTable::Usage& u) { usage_.emplace(u.processId, u); });
  std::unordered_set<DWORD> asked;  // the processes whose windows are probed
  std::unordered_set<DWORD> checked;
  for (auto& item : items) {
    if (item->service || !acts(*item)) continue;
    // Instances that are all new since the last round (the old ones ended, and the item was restarted in
    // between) begin afresh, as do items that no longer run.
    const auto old = [&](const auto& watch) { return checked_.contains(watch->processId); };
    if (std::none_of(item->watches.begin(), item->watches.end(), old)) item->limits.stopped();
    if (item->watches.empty()) continue;
    for (const auto& watch : item->watches) checked.insert(watch->processId);
    // Without a reading, so that limits turned off end their excursions.
    if (measured(item))
      sample(*item, now, actions, log);
    else
      item->limits.sample(item->name, item->checks, {});
    if (kind_ == EngineKind::Program && item->checks.notRespondingSeconds > 0)
      for (const auto& watch : item->watches) asked.insert(watch->processId);
  }
  checked_ = std::move(checked);
  if (kind_ != EngineKind::Program) return;
  // Questions are timed as they are asked, after `now`: a verdict can come late, never early.
  const auto unanswered = probe_.round(asked);
  for (auto& item : items) {
    if (item->service || !acts(*item) || item->watches.empty()) continue;
    std::optional<std::int64_t> since;
    for (const auto& watch : item->watches)
      if (const auto found = unanswered.find(watch->processId); found != unanswered.end())
        since = since ? std::min(*since, found->second) : found->second;
    if (const auto action = item->limits.responding(item->name, item->checks, now.ms, since))
      carry(*item, *action, now, actions, log);
  }
}

// Reads the item's instances: their private bytes summed, and their CPU
// time since the last sample as a share of all the machine's processors.
void ItemLimits::sample(Item& item, const Moment& now, const StopActions& actions, Events& log) {
  LimitSample sample;
  sample.ms = now.ms;
  for (auto& watch : item.watches) {
    const auto found = usage_.find(watch->processId);
    if (found == usage_.end()) continue;
    const auto& usage = found->second;
    sample.privateBytes = sample.privateBytes.value_or(0) + usage.privateBytes;
    if (watch->cpu100ns && now.ms > watch->cpuAt && usage.cpu100ns >= *watch->cpu100ns) {
      const double used = static_cast<double>(usage.cpu100ns - *watch->cpu100ns);
      const double available = static_cast<double>(now.ms - watch->cpuAt) * 10'000.0 * processors_;
      sample.cpuPercent = sample.cpuPercent.value_or(0) + 100.0 * used / available;
    }
    watch->cpu100ns = usage.cpu100ns;
    watch->cpuAt = now.ms;
  }
  for (const auto& action : item.limits.sample(item.name, item.checks, sample))
    carry(item, action, now, actions, log);
}

void ItemLimits::carry(Item& item, const LimitAction& action, const Moment& now, const StopActions& actions,
                       Events& log) {
  if (!action.end) {
    item.policy.alert(now, actions, action.line(), action.reason, log);
    return;
  }
  // Two limits (or a limit and the hang check) end the item once, for the first reason.
  if (item.policy.beingEnded()) return;
  std::string failure;
  std::size_t ended = 0;
  for (const auto& watch : item.watches) ended += endInstance(*watch, failure) ? 1 : 0;
  // The stop carries the reason only when the item stops: an instance left running keeps it running.
  if (ended == item.watches.size()) {
    item.policy.ending(action.line(), action.reason);
    return;
  }
  const std::string what = ended == 0 ? "cannot be ended"
                                      : std::to_string(ended) + " of " + std::to_string(item.watches.size()) +
                                            " instances ended, the others cannot be";
  log.push_back(now.event(action.reason == kReasonNotResponding ? EventId::NotResponding : EventId::OverLimit,
                          item.name, action.condition + ": " + what + " (" + failure + ")"));
}

}  // namespace monitor
