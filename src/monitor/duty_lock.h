#pragma once
// The named locks of the restart duty of one application folder (see
// duty_policy.h): the engine holds its own kind's lock while it runs, and
// tries the other kind's now and then to learn whether that engine runs.
#include <windows.h>

#include <string>

#include "monitor/duty_policy.h"
#include "win/unique_resource.h"

namespace monitor {

class DutyLocks {
 public:
  DutyLocks(const std::string& folder, EngineKind self);
  ~DutyLocks();
  DutyLocks(const DutyLocks&) = delete;
  DutyLocks& operator=(const DutyLocks&) = delete;

  const DutyView& view() const { return view_; }
  // Why the engine acts alone, for the log; empty when it does not.
  const std::string& failure() const { return failure_; }

  // To wait on: the own lock while another engine of this kind holds it,
  // the other kind's while that engine runs; nullptr otherwise.
  HANDLE ownWaitable() const { return view_.alone || view_.ownHeld ? nullptr : own_.get(); }
  HANDLE otherWaitable() const { return view_.otherRuns && !view_.alone ? other_.get() : nullptr; }
  // Its wait returned: the own lock is held now.
  void ownTaken() { view_.ownHeld = true; }
  // Its wait returned: the other engine has ended (the lock is let go at once).
  void otherEnded();
  // Tries the other kind's lock; true when that changed what is known.
  bool probeOther();
  // While the engine acts alone: tries to have the locks again; true when it
  // has them now and shares the duty.
  bool join();

 private:
  bool open(int ownWaitMs);

  std::string path_;
  EngineKind self_;
  win::unique_handle own_, other_;
  DutyView view_;
  std::string failure_;
};

}  // namespace monitor
