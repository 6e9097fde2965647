#pragma once
// The state text of one row of the item grid, answered from what a rebuild
// asked the system once: the image names of the running processes and the
// list of services.
#include <string>

#include "formats/item_file.h"
#include "win/services.h"
#include "win/wmi_processes.h"

namespace app {

// What the state cell shows when the processes could not be queried.
inline constexpr char kUnknownState[] = "Unknown";

// A program item: "Running" when its name, upper-cased, is among `running`,
// else "Not Running"; "Unknown" when `running` is null. A service item: the
// state name of the first service whose display name equals its name
// ignoring letter case, or the empty text when there is none or the listing
// failed.
std::string itemState(const formats::ItemFields& item, const win::RunningNames* running,
                      const win::ServiceListing& services);

}  // namespace app
