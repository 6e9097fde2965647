#pragma once
// The process test by executable name, through WMI.
#include <string>

namespace engine {

// True when a running process has this image name (file name with
// extension, no folder), compared as a whole ignoring letter case only.
// A failure to reach WMI or to walk the processes throws base::ComError.
bool IsProcessRunning(const std::string& processName);

}  // namespace engine
