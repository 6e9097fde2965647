#pragma once
// The item-file operations as the windows use them: they take the
// application folder and apply the file-exists rule before touching
// processes.ob.
#include <string>
#include <string_view>

#include "formats/item_file.h"

namespace app {

// Both add paths refuse an item that would go beyond the table.
inline constexpr char kListFullMessage[] =
    "The list is full: processes.ob holds at most 36 lines, that is 35 items. Delete an item before adding "
    "another.";

// Fills the table from the file. A file that does not pass the file-exists
// test is created (truncating anything of that name) holding the blank line,
// and the table stays empty.
void loadItemSlots(const std::string& folder, formats::ItemTable& table);

// The duplicate test: reads the file as it is on disk now (not the table);
// a missing file has no items.
bool checkforduplicateProcess(const std::string& folder, std::string_view name);

}  // namespace app
