// Fuzzes the readers of processes.ob, settings.ob and monitor.ini, and the rewrite and save after a load,
// with any bytes; built natively with clang's libFuzzer from the utility's own sources.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/text.h"
#include "formats/item_file.h"
#include "formats/monitor_ini.h"
#include "formats/settings_file.h"

namespace {
std::string scratch(const char* name) { return "/tmp/brennix-fuzz-" + std::to_string(getpid()) + "-" + name; }
void check(bool condition) {
  if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string file = scratch("input"), rewritten = scratch("items"), saved = scratch("settings");
  std::ofstream(file, std::ios::binary) << text;

  // The item file: load, search, and rewrite without one of its lines; a
  // rewrite writes the blank line and item lines only.
  formats::ItemTable table, again;
  formats::readItemFile(file, table);
  formats::fileHasItemNamed(file, text.substr(0, 16));
  const long index = size ? data[0] % 40 : 0;
  try {
    formats::rewriteWithout(rewritten, table, index);
    formats::readItemFile(rewritten, again);
    check(again.slots[0] == " ");
    for (std::size_t i = 1; i < formats::kItemSlots; ++i)
      check(again.slots[i].empty() || formats::isItemLine(again.slots[i]));
  } catch (const base::Error&) {
    check(index >= static_cast<long>(formats::kItemSlots));
  }

  // The settings file: load, convert every slot, save, and load the save; a
  // slot survives unless its text held a line break of its own.
  const auto slots = formats::readSettings(file).toSlots();
  for (const auto& slot : slots) slot.asNumber(), slot.fileLine();
  formats::writeSettings(saved, formats::Settings::fromSlots(slots));
  const auto back = formats::readSettings(saved).toSlots();
  for (std::size_t i = 0; i < formats::kSettingsSlots; ++i)
    if (slots[i].asText().find('\r') == std::string::npos) check(back[i] == slots[i] || slots[i].empty());

  // monitor.ini: every problem names the file and a line; every value read lies in its range.
  const auto ini = formats::readMonitorIniText(text);
  for (const auto& problem : ini.problems) check(problem.starts_with("monitor.ini line "));
  std::vector<formats::IniItem> items;
  for (const auto& section : ini.items) {
    const auto checks = ini.checksFor(section.name);
    check(checks.cpuLimitPercent >= 0 && checks.cpuLimitPercent <= 100 && checks.limitSeconds >= 1);
    items.push_back({section.name, section.name.size() % 2 == 0});
  }
  for (const auto& problem : formats::sectionProblems(ini, items))
    check(problem.find("names no item") == std::string::npos);

  check(formats::encodeBody(text).find("\r\n") == std::string::npos);
  base::isNumber(text);
  for (const auto& path : {file, rewritten, saved}) std::remove(path.c_str());
  return 0;
}
