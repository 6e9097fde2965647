#pragma once
// processes.ob: the monitored items, one per line, "name|path". A service item
// carries the marker "[Windows Service]" (any letter case) as its path. Lines
// of 0 or 1 character are no items but still count for the numbering.
//
// Opening, creating and appending failures throw base::Error, whose text is
// the platform's description of the error; errors while reading
// lines, and while writing the items of a rewrite, are ignored.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace formats {

inline constexpr std::size_t kItemSlots = 36;
inline constexpr std::string_view kServiceMarker = "[Windows Service]";
inline constexpr std::string_view kItemFileName = "processes.ob";

// The folder followed by "\processes.ob".
std::string itemFilePath(std::string_view folder);

// The in-memory copy of the file: slot i holds line i.
struct ItemTable {
  std::array<std::string, kItemSlots> slots;
  // The file's bytes after line 35, exactly as read. They are not shown and
  // not searched, but a rewrite after a deletion writes their lines back, so
  // that editing the list never drops what a user put beyond it.
  std::string beyond;

  void clear();
};

struct ItemFields {
  std::string_view name;
  std::string_view path;  // empty for a line without "|"
};

// True for a line that is an item: longer than one character.
inline bool isItemLine(std::string_view line) { return line.size() > 1; }

// Splits an item line at "|": the name field and the path field; further
// fields are ignored.
ItemFields splitItem(std::string_view line);

// True when a path field is the service marker, in any letter case.
bool isServicePath(std::string_view path);

// The blank first line of every file the utility creates or rewrites.
void createItemFile(const std::string& file);

// Reads the file into the table: the first 36 lines into the slots, the rest
// into `beyond`.
void readItemFile(const std::string& file, ItemTable& table);
// The same from the file's bytes, as read once by whoever parses them.
void readItemText(std::string_view bytes, ItemTable& table);

// Appends one line "name|path"; a missing file is created without the blank
// first line.
void appendItem(const std::string& file, std::string_view name, std::string_view path);

// Empties slot `index` and writes the file anew: the blank line, then every
// item line of the table in slot order, then the item lines beyond the table.
// Throws base::Error for an index outside 0..35 before touching the file.
void rewriteWithout(const std::string& file, ItemTable& table, long index);

// True when the file holds the table's 36 lines or more: an item appended
// now would lie beyond the table, where no list shows it. A missing file is
// not full.
bool itemFileIsFull(const std::string& file);

// True when one of the file's first 36 lines has a name field equal to `name`
// ignoring letter case (whole field, no trimming).
bool fileHasItemNamed(const std::string& file, std::string_view name);

}  // namespace formats
