// Fuzzes the readers of processes.ob and settings.ob with whatever bytes a
// file may hold, and the rewrite and save that follow a load. Built natively
// with clang's libFuzzer from the same sources as the utility.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "base/error.h"
#include "base/text.h"
#include "formats/item_file.h"
#include "formats/settings_file.h"

namespace {

std::string scratch(const char* name) {
  return "/tmp/brennix-fuzz-" + std::to_string(getpid()) + "-" + name;
}

void put(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  std::fwrite(data, 1, size, f);
  std::fclose(f);
}

void check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file = scratch("input");
  put(file, data, size);
  const std::string text(reinterpret_cast<const char*>(data), size);

  // The item file: load, search, and rewrite without one of its lines.
  formats::ItemTable table;
  formats::readItemFile(file, table);
  formats::fileHasItemNamed(file, text.substr(0, 16));
  const long index = size ? data[0] % 40 : 0;
  const std::string rewritten = scratch("items");
  try {
    formats::rewriteWithout(rewritten, table, index);
    // What a rewrite writes is the blank line and item lines only.
    formats::ItemTable again;
    formats::readItemFile(rewritten, again);
    check(again.slots[0] == " ");
    for (std::size_t i = 1; i < formats::kItemSlots; ++i) check(again.slots[i].empty() || formats::isItemLine(again.slots[i]));
  } catch (const base::Error&) {
    check(index >= static_cast<long>(formats::kItemSlots));
  }

  // The settings file: load, convert every slot, save, and load the save.
  formats::SettingsTable slots;
  slots = formats::readSettings(file).toSlots();
  for (const auto& slot : slots) {
    slot.asNumber();
    slot.fileLine();
  }
  const std::string saved = scratch("settings");
  formats::writeSettings(saved, formats::Settings::fromSlots(slots));
  formats::SettingsTable back;
  back = formats::readSettings(saved).toSlots();
  for (std::size_t i = 0; i < formats::kSettingsSlots; ++i) {
    // A slot survives a save unless its text held a line break of its own.
    const std::string t = slots[i].asText();
    if (t.find_first_of('\r') == std::string::npos) check(back[i] == slots[i] || slots[i].empty());
  }

  // The body encoding never leaves a CR LF on its line.
  check(formats::encodeBody(text).find("\r\n") == std::string::npos);
  base::leadingNumber(text);
  base::isNumber(text);

  std::remove(file.c_str());
  std::remove(rewritten.c_str());
  std::remove(saved.c_str());
  return 0;
}
