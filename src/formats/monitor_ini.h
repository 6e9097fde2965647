#pragma once
// monitor.ini: the engine's optional settings beside the two data files, as
// Windows INI text. "[Section]" lines and "Key=Value" lines, blanks around
// both ignored; ";" or "#" begins a comment that runs to the end of the line;
// sections and keys match without regard to letter case. A line ends at CR LF,
// a lone CR or a lone LF.
//
// [Defaults] holds the item keys that apply to every program item that does
// not set them itself; [Engine] the settings of the engine as a whole; any
// other section is named after an item of processes.ob and holds its keys.
//
// Nothing in the file stops the reading: each line that cannot be used gives
// one problem text naming the file, the line number and what is wrong, and
// the rest applies.
#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace formats {

inline constexpr std::string_view kMonitorIniFileName = "monitor.ini";

// The folder followed by "\monitor.ini".
std::string monitorIniPath(std::string_view folder);

// The keys [Engine] knows (letter case as written in messages); any other key
// there is reported as unknown. Read their values with MonitorIni::engineValue.
inline constexpr std::array<std::string_view, 1> kEngineKeys{"MetricsFolder"};

enum class LimitAction { restart, alert };

// What the engine checks of one program item; 0 turns a check off.
struct ItemChecks {
  long notRespondingSeconds = 0;
  long memoryLimitMB = 0;
  long cpuLimitPercent = 0;
  long limitSeconds = 60;  // a memory or CPU limit must be exceeded this long in a row
  LimitAction limitAction = LimitAction::restart;

  bool any() const { return notRespondingSeconds > 0 || memoryLimitMB > 0 || cpuLimitPercent > 0; }
  bool operator==(const ItemChecks&) const = default;
};

// The item keys one section sets; a key it does not set is left open.
struct ItemKeys {
  std::optional<long> notRespondingSeconds;
  std::optional<long> memoryLimitMB;
  std::optional<long> cpuLimitPercent;
  std::optional<long> limitSeconds;
  std::optional<LimitAction> limitAction;

  // `base` with each key that is set here in its place.
  ItemChecks over(ItemChecks base) const;
  // The names of the keys set here, in the order of the key table.
  std::vector<std::string_view> names() const;
};

struct ItemSection {
  std::string name;  // as written between the brackets, blanks around it dropped
  int line = 0;      // where it first begins
  ItemKeys keys;
};

struct EngineSetting {
  std::string key;  // in the letter case of kEngineKeys
  std::string value;
  int line = 0;
};

struct MonitorIni {
  ItemKeys defaults;
  std::vector<ItemSection> items;  // a section repeated adds to its first
  std::vector<EngineSetting> engine;
  std::vector<std::string> problems;  // "monitor.ini line 7: unknown key "MemoryLimit""

  // The checks of a program item: its section over [Defaults] over the
  // defaults of ItemChecks. The name matches without regard to letter case.
  ItemChecks checksFor(std::string_view itemName) const;
  // The section of an item, or null.
  const ItemSection* sectionFor(std::string_view itemName) const;
  // The value of an [Engine] key (any letter case), or nothing when unset.
  std::optional<std::string> engineValue(std::string_view key) const;
};

// Reads the file's bytes. Never fails: what cannot be used is in `problems`.
MonitorIni readMonitorIniText(std::string_view bytes);

// An item of processes.ob as the sections are matched against it.
struct IniItem {
  std::string_view name;
  bool service = false;
};

// The problems that need the item list: each section that names no item, and
// each section of a service item that sets keys, which apply to programs only.
std::vector<std::string> sectionProblems(const MonitorIni& ini, std::span<const IniItem> items);

}  // namespace formats
