#include "app/item_store.h"

#include "win/files.h"

namespace app {

void loadItemSlots(const std::string& folder, formats::ItemTable& table) {
  table.clear();
  const std::string file = formats::itemFilePath(folder);
  if (!win::fileExists(file)) {
    formats::createItemFile(file);
    return;
  }
  formats::readItemFile(file, table);
}

bool checkforduplicateProcess(const std::string& folder, std::string_view name) {
  const std::string file = formats::itemFilePath(folder);
  return win::fileExists(file) && formats::fileHasItemNamed(file, name);
}

}  // namespace app
