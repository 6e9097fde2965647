#include "monitor/duty_lock.h"

#include <sddl.h>

#include "monitor/item_control.h"

namespace monitor {
namespace {

// The folder as one spelling: full and with long names.
std::string fullPath(const std::string& folder) {
  char full[MAX_PATH * 2] = {}, longer[MAX_PATH * 2] = {};
  const DWORD n = GetFullPathNameA(folder.c_str(), sizeof full, full, nullptr);
  if (n == 0 || n >= sizeof full) return folder;
  const DWORD m = GetLongPathNameA(full, longer, sizeof longer);
  return m == 0 || m >= sizeof longer ? std::string(full) : std::string(longer);
}

// The service (LocalSystem) and the program (the user) must both be able to
// take each lock, whichever engine created it.
HANDLE createLock(const std::string& name) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
  if (ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100001;;;AU)",
                                                           SDDL_REVISION_1, &descriptor, nullptr))
    attributes.lpSecurityDescriptor = descriptor;
  HANDLE lock = CreateMutexExA(&attributes, name.c_str(), 0, SYNCHRONIZE | MUTEX_MODIFY_STATE);
  const DWORD error = GetLastError();
  if (descriptor) LocalFree(descriptor);
  SetLastError(error);
  return lock;
}

bool taken(DWORD waited) { return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED; }

}  // namespace

DutyLocks::DutyLocks(const std::string& folder, EngineKind self) : path_(fullPath(folder)), self_(self) {
  // A short wait: the other kind's engine may be trying this lock just now.
  open(200);
}

// Creates or opens both locks and tries to take its own; false, with the
// engine alone, when either cannot be had.
bool DutyLocks::open(int ownWaitMs) {
  const EngineKind other = self_ == EngineKind::Program ? EngineKind::Service : EngineKind::Program;
  for (auto [lock, kind] : {std::pair{&own_, self_}, std::pair{&other_, other}}) {
    const std::string name = dutyLockName(path_, kind);
    lock->reset(createLock(name));
    if (!*lock) {
      view_.alone = true;
      failure_ = "the lock " + name + " cannot be had: " + failureText(GetLastError());
      return false;
    }
  }
  view_.alone = false;
  failure_.clear();
  view_.ownHeld = taken(WaitForSingleObject(own_.get(), static_cast<DWORD>(ownWaitMs)));
  probeOther();
  return true;
}

bool DutyLocks::join() { return view_.alone && open(0); }

DutyLocks::~DutyLocks() {
  if (view_.ownHeld) ReleaseMutex(own_.get());
}

void DutyLocks::otherEnded() {
  ReleaseMutex(other_.get());
  view_.otherRuns = false;
}

bool DutyLocks::probeOther() {
  if (view_.alone) return false;
  const bool free = taken(WaitForSingleObject(other_.get(), 0));
  if (free) ReleaseMutex(other_.get());
  const bool changed = view_.otherRuns == free;
  view_.otherRuns = !free;
  return changed;
}

}  // namespace monitor
