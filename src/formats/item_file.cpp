#include "formats/item_file.h"

#include <cerrno>
#include <cstdio>

#include "base/error.h"
#include "base/line_reader.h"
#include "base/text.h"
#include "base/text_file.h"

namespace formats {
namespace {

// Writes one line with its CR LF; false when the write failed.
bool writeLine(std::FILE* f, std::string_view line) {
  bool ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
  return std::fwrite("\r\n", 1, 2, f) == 2 && ok;
}

// Reads up to kItemSlots lines into `slots`.
void readSlots(std::FILE* f, std::array<std::string, kItemSlots>& slots) {
  base::LineReader reader(f);
  std::string line;
  for (std::size_t i = 0; i < kItemSlots && reader.next(line); ++i) slots[i] = line;
}

}  // namespace

std::string itemFilePath(std::string_view folder) {
  std::string path(folder);
  return path.append("\\").append(kItemFileName);
}

void ItemTable::clear() {
  for (auto& s : slots) s.clear();
  beyond.clear();
}

ItemFields splitItem(std::string_view line) {
  auto bar = line.find('|');
  if (bar == std::string_view::npos) return {line, {}};
  std::string_view path = line.substr(bar + 1);
  path = path.substr(0, path.find('|'));
  return {line.substr(0, bar), path};
}

bool isServicePath(std::string_view path) { return base::equalsIgnoringCase(path, kServiceMarker); }

void createItemFile(const std::string& file) {
  auto f = base::openFile(file, "wb");
  errno = 0;
  if (!writeLine(f.get(), " ")) base::throwFileError(file);
}

void readItemFile(const std::string& file, ItemTable& table) {
  auto f = base::openFile(file, "rb");
  readItemText(base::readAll(f.get()), table);
}

void readItemText(std::string_view bytes, ItemTable& table) {
  table.clear();
  std::size_t count = 0;
  base::forEachLine(bytes, [&](std::string_view line) {
    if (count < kItemSlots)
      table.slots[count] = line;
    else if (count == kItemSlots)
      table.beyond = bytes.substr(static_cast<std::size_t>(line.data() - bytes.data()));
    ++count;
  });
}

void appendItem(const std::string& file, std::string_view name, std::string_view path) {
  auto f = base::openFile(file, "ab");
  std::string line;
  line.reserve(name.size() + 1 + path.size());
  line.append(name).append("|").append(path);
  errno = 0;
  if (!writeLine(f.get(), line) || std::fflush(f.get()) != 0) base::throwFileError(file);
}

void rewriteWithout(const std::string& file, ItemTable& table, long index) {
  if (index < 0 || index >= static_cast<long>(kItemSlots))
    throw base::Error("item index " + std::to_string(index) + " lies outside the table");
  table.slots[static_cast<std::size_t>(index)].clear();

  auto f = base::openFile(file, "wb");
  errno = 0;
  if (!writeLine(f.get(), " ")) base::throwFileError(file);
  // From here on a failed write is passed over: the remaining lines are still
  // attempted.
  for (const auto& slot : table.slots)
    if (isItemLine(slot)) writeLine(f.get(), slot);
  base::forEachLine(table.beyond, [&](std::string_view line) {
    if (isItemLine(line)) writeLine(f.get(), line);
  });
}

bool itemFileIsFull(const std::string& file) {
  base::unique_file f(std::fopen(file.c_str(), "rb"));
  if (!f) return false;
  base::LineReader reader(f.get());
  std::string line;
  std::size_t count = 0;
  while (count < kItemSlots && reader.next(line)) ++count;
  return count >= kItemSlots;
}

bool fileHasItemNamed(const std::string& file, std::string_view name) {
  std::array<std::string, kItemSlots> slots;
  auto f = base::openFile(file, "rb");
  readSlots(f.get(), slots);
  const std::string wanted = base::upperCase(name);
  for (const auto& slot : slots) {
    if (isItemLine(slot) && base::upperCase(splitItem(slot).name) == wanted) return true;
  }
  return false;
}

}  // namespace formats
