#include "formats/monitor_ini.h"

#include <algorithm>

#include "base/text.h"

namespace formats {
namespace {

struct NumberKey {
  std::string_view name;
  std::optional<long> ItemKeys::*field;
  long least;
  long most;
};

constexpr NumberKey kNumberKeys[] = {
    {"NotRespondingSeconds", &ItemKeys::notRespondingSeconds, 0, 86400},
    {"MemoryLimitMB", &ItemKeys::memoryLimitMB, 0, 1048576},
    {"CpuLimitPercent", &ItemKeys::cpuLimitPercent, 0, 100},
    {"LimitSeconds", &ItemKeys::limitSeconds, 1, 86400},
};
constexpr std::string_view kLimitAction = "LimitAction";

std::string_view trimSpace(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A whole number of decimal digits, nothing else; nothing when it is not one
// or has more digits than any limit could use.
std::optional<long> wholeNumber(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

class Reader {
 public:
  MonitorIni read(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);  // Notepad's UTF-8 mark
    int number = 0;
    std::size_t start = 0;
    while (start < bytes.size()) {
      std::size_t end = bytes.find_first_of("\r\n", start);
      if (end == std::string_view::npos) end = bytes.size();
      readLine(++number, bytes.substr(start, end - start));
      start = end + (bytes.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return std::move(ini_);
  }

 private:
  enum class In { nothing, defaults, engine, item };

  void problem(int line, const std::string& what) {
    ini_.problems.push_back(std::string(kMonitorIniFileName) + " line " + std::to_string(line) + ": " + what);
  }

  void readLine(int number, std::string_view line) {
    line = trimSpace(line.substr(0, line.find_first_of(";#")));
    if (line.empty()) return;
    if (line.front() == '[') {
      if (line.back() != ']' || trimSpace(line.substr(1, line.size() - 2)).empty())
        return problem(number, "cannot read " + quoted(line) + ": a section is a name in brackets");
      return beginSection(number, trimSpace(line.substr(1, line.size() - 2)));
    }
    const auto equals = line.find('=');
    if (equals == std::string_view::npos || trimSpace(line.substr(0, equals)).empty())
      return problem(number, "cannot read " + quoted(line) + ": neither [Section] nor Key=Value");
    const auto key = trimSpace(line.substr(0, equals));
    const auto value = trimSpace(line.substr(equals + 1));
    switch (in_) {
      case In::nothing:
        return problem(number, quoted(line) + " stands before any [Section]");
      case In::engine:
        return engineKey(number, key, value);
      case In::defaults:
        return itemKey(number, key, value, ini_.defaults);
      case In::item:
        return itemKey(number, key, value, ini_.items[item_].keys);
    }
  }

  void beginSection(int number, std::string_view name) {
    if (base::equalsIgnoringCase(name, "Defaults")) {
      in_ = In::defaults;
      sectionName_ = "Defaults";
    } else if (base::equalsIgnoringCase(name, "Engine")) {
      in_ = In::engine;
      sectionName_ = "Engine";
    } else {
      in_ = In::item;
      const auto same = [&](const ItemSection& s) { return base::equalsIgnoringCase(s.name, name); };
      const auto found = std::find_if(ini_.items.begin(), ini_.items.end(), same);
      item_ = static_cast<std::size_t>(found - ini_.items.begin());
      if (found == ini_.items.end()) ini_.items.push_back({std::string(name), number, {}});
      sectionName_ = ini_.items[item_].name;
    }
  }

  void engineKey(int number, std::string_view key, std::string_view value) {
    for (std::string_view known : kEngineKeys) {
      if (!base::equalsIgnoringCase(key, known)) continue;
      auto& settings = ini_.engine;
      const auto same = [&](const EngineSetting& s) { return s.key == known; };
      const auto found = std::find_if(settings.begin(), settings.end(), same);
      if (found == settings.end()) {
        settings.push_back({std::string(known), std::string(value), number});
      } else {
        setAgain(number, known);
        *found = {std::string(known), std::string(value), number};
      }
      return;
    }
    problem(number, "unknown key " + quoted(key) + " in [Engine]");
  }

  void itemKey(int number, std::string_view key, std::string_view value, ItemKeys& keys) {
    if (base::equalsIgnoringCase(key, kLimitAction)) {
      std::optional<LimitAction> action;
      if (base::equalsIgnoringCase(value, "restart")) action = LimitAction::restart;
      if (base::equalsIgnoringCase(value, "alert")) action = LimitAction::alert;
      if (!action) return problem(number, "LimitAction " + quoted(value) + " is neither restart nor alert");
      if (keys.limitAction) setAgain(number, kLimitAction);
      keys.limitAction = action;
      return;
    }
    for (const auto& known : kNumberKeys) {
      if (!base::equalsIgnoringCase(key, known.name)) continue;
      const auto number_value = wholeNumber(value);
      if (!number_value || *number_value < known.least || *number_value > known.most)
        return problem(number, std::string(known.name) + " " + quoted(value) +
                                   " is not a whole number from " + std::to_string(known.least) + " to " +
                                   std::to_string(known.most));
      if (keys.*known.field) setAgain(number, known.name);
      keys.*known.field = number_value;
      return;
    }
    problem(number, "unknown key " + quoted(key));
  }

  void setAgain(int number, std::string_view key) {
    problem(number, std::string(key) + " set again in [" + sectionName_ + "]: this line applies");
  }

  MonitorIni ini_;
  In in_ = In::nothing;
  std::size_t item_ = 0;
  std::string sectionName_;
};

}  // namespace

std::string monitorIniPath(std::string_view folder) {
  std::string path(folder);
  return path.append("\\").append(kMonitorIniFileName);
}

ItemChecks ItemKeys::over(ItemChecks base) const {
  if (notRespondingSeconds) base.notRespondingSeconds = *notRespondingSeconds;
  if (memoryLimitMB) base.memoryLimitMB = *memoryLimitMB;
  if (cpuLimitPercent) base.cpuLimitPercent = *cpuLimitPercent;
  if (limitSeconds) base.limitSeconds = *limitSeconds;
  if (limitAction) base.limitAction = *limitAction;
  return base;
}

std::vector<std::string_view> ItemKeys::names() const {
  std::vector<std::string_view> set;
  for (const auto& key : kNumberKeys)
    if (this->*key.field) set.push_back(key.name);
  if (limitAction) set.push_back(kLimitAction);
  return set;
}

const ItemSection* MonitorIni::sectionFor(std::string_view itemName) const {
  for (const auto& section : items)
    if (base::equalsIgnoringCase(section.name, itemName)) return &section;
  return nullptr;
}

ItemChecks MonitorIni::checksFor(std::string_view itemName) const {
  const ItemChecks shared = defaults.over({});
  const auto* section = sectionFor(itemName);
  return section ? section->keys.over(shared) : shared;
}

std::optional<std::string> MonitorIni::engineValue(std::string_view key) const {
  for (const auto& setting : engine)
    if (base::equalsIgnoringCase(setting.key, key)) return setting.value;
  return std::nullopt;
}

MonitorIni readMonitorIniText(std::string_view bytes) { return Reader().read(bytes); }

std::vector<std::string> sectionProblems(const MonitorIni& ini, std::span<const IniItem> items) {
  std::vector<std::string> problems;
  for (const auto& section : ini.items) {
    const auto same = [&](const IniItem& item) { return base::equalsIgnoringCase(item.name, section.name); };
    const auto found = std::find_if(items.begin(), items.end(), same);
    const std::string where = std::string(kMonitorIniFileName) + " line " + std::to_string(section.line) +
                              ": [" + section.name + "] ";
    if (found == items.end()) {
      problems.push_back(where + "names no item of processes.ob");
    } else if (const auto names = section.keys.names(); found->service && !names.empty()) {
      std::string list;
      for (auto name : names) list.append(list.empty() ? "" : ", ").append(name);
      problems.push_back(where + "is a service item: " + list + " apply to programs only");
    }
  }
  return problems;
}

}  // namespace formats
