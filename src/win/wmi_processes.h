#pragma once
// The process test by executable name, through WMI.
#include <windows.h>
#include <wbemdisp.h>

#include <set>
#include <string>
#include <wrl/client.h>

#include "base/error.h"

namespace win {

// True when a running process has this image name (file name with
// extension, no folder), compared as a whole ignoring letter case only.
// A failure to reach WMI or to walk the processes throws base::Error.
bool IsProcessRunning(const std::string& processName);

// The image names of the running processes, upper-cased.
using RunningNames = std::set<std::string>;

// Keeps its connection to WMI, which costs more than a query of all
// processes, and queries anew on every call. Use it within the life of the
// thread's COM apartment.
class ProcessFinder {
 public:
  bool IsProcessRunning(const std::string& processName);
  // Every running image name from one query, upper-cased, so that a name
  // upper-cased is found as IsProcessRunning finds it. Throws as it does.
  RunningNames runningNames();
  // Connects now, if not yet connected, so that the next query does not wait
  // for it; a failure is left for that query to meet.
  void connectAhead();

 private:
  // Runs `query(services)` on the kept connection; a connection gone stale
  // is made once more and the query run again.
  template <class Query>
  auto withServices(Query query) {
    if (services_) {
      try {
        return query(services_.Get());
      } catch (const base::Error&) {
        services_.Reset();
      }
    }
    services_ = connect();
    return query(services_.Get());
  }
  static Microsoft::WRL::ComPtr<ISWbemServices> connect();

  Microsoft::WRL::ComPtr<ISWbemServices> services_;
};

}  // namespace win
