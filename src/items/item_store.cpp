#include "items/item_store.h"

#include "base/files.h"

namespace items {

std::string itemFilePath(const std::string& folder) {
  return folder + "\\" + std::string(kFileName);
}

void loadItemSlots(const std::string& folder, ItemTable& table) {
  table.clear();
  const std::string file = itemFilePath(folder);
  if (!base::fileExists(file)) {
    createItemFile(file);
    return;
  }
  readItemFile(file, table);
}

bool checkforduplicateProcess(const std::string& folder, std::string_view name) {
  const std::string file = itemFilePath(folder);
  return base::fileExists(file) && fileHasItemNamed(file, name);
}

}  // namespace items
