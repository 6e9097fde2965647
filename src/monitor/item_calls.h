#pragma once
// The engine's calls that wait on other processes, made on a few threads of
// a pool of their own and never on the engine's thread: a service start waits for the
// service to answer the Service Control Manager, up to 30 s; the service list
// waits while the Service Control Manager starts a service (half a second
// under Wine); CreateProcess under Wine waits for the new process to report
// to the Wine server, which takes longer the busier the machine. Meanwhile
// the engine goes on watching, restarting other items, logging and mailing,
// and collects each outcome when the `done` event is set.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "win/services.h"
#include "win/unique_resource.h"

namespace monitor {

class ItemCalls {
 public:
  struct Outcome {
    enum class Kind { Start, Services } kind = Kind::Start;
    std::uint64_t item = 0;              // a start: the item started
    win::unique_handle process;          // a program's new process
    std::optional<std::string> failure;  // why it could not be started
    win::ServiceListing services;        // the list of services
  };

  explicit ItemCalls(HANDLE done);
  // Starts the program at `path`, or the service named `path` when `service`.
  void start(std::uint64_t item, std::string path, bool service);
  // Lists the services, unless a listing is under way.
  void listServices();
  bool listing() const { return listing_; }
  // The outcomes come in; calls still under way when the engine ends finish
  // on their own and close what they opened.
  std::vector<Outcome> takeOutcomes();

 private:
  struct Shared;
  struct Call;
  void submit(std::unique_ptr<Call> call);

  std::shared_ptr<Shared> shared_;
  bool listing_ = false;
};

}  // namespace monitor
