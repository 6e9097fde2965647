#include "app/item_state.h"

#include "base/text.h"

namespace app {

std::string itemState(const formats::ItemFields& item, const win::RunningNames* running,
                      const win::ServiceListing& services) {
  if (formats::isServicePath(item.path)) return win::serviceStateText(services, item.name);
  if (!running) return kUnknownState;
  return running->count(base::upperCase(item.name)) ? "Running" : "Not Running";
}

}  // namespace app
