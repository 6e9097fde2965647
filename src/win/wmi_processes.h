#pragma once
// The process test by executable name, through WMI.
#include <windows.h>
#include <wbemdisp.h>
#include <wrl/client.h>

#include <string>

namespace win {

// True when a running process has this image name (file name with
// extension, no folder), compared as a whole ignoring letter case only.
// A failure to reach WMI or to walk the processes throws base::Error.
bool IsProcessRunning(const std::string& processName);

// The same test for many names in a row: keeps its connection to WMI, which
// costs more than a query of all processes, and queries anew for every name.
// Use it within the life of the thread's COM apartment.
class ProcessFinder {
 public:
  bool IsProcessRunning(const std::string& processName);

 private:
  Microsoft::WRL::ComPtr<ISWbemServices> services_;
};

}  // namespace win
