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
// take each lock and set or reset the event, whichever engine created it.
template <typename Create>
HANDLE createShared(const char* descriptorText, Create create) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
  if (ConvertStringSecurityDescriptorToSecurityDescriptorA(descriptorText, SDDL_REVISION_1, &descriptor,
                                                           nullptr))
    attributes.lpSecurityDescriptor = descriptor;
  HANDLE handle = create(&attributes);
  const DWORD error = GetLastError();
  if (descriptor) LocalFree(descriptor);
  SetLastError(error);
  return handle;
}

HANDLE createLock(const std::string& name) {
  return createShared("D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100001;;;AU)", [&](SECURITY_ATTRIBUTES* a) {
    return CreateMutexExA(a, name.c_str(), 0, SYNCHRONIZE | MUTEX_MODIFY_STATE);
  });
}

HANDLE createSignal(const std::string& name) {
  return createShared("D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100002;;;AU)", [&](SECURITY_ATTRIBUTES* a) {
    return CreateEventExA(a, name.c_str(), CREATE_EVENT_MANUAL_RESET, SYNCHRONIZE | EVENT_MODIFY_STATE);
  });
}

bool taken(DWORD waited) { return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED; }

}  // namespace

DutyLocks::DutyLocks(const std::string& folder, EngineKind self)
    : path_(fullPath(folder)), self_(self), sessionEnd_(createSignal(sessionEndName(path_))) {
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
  if (view_.ownHeld) ownTaken();
  probeOther();
  return true;
}

bool DutyLocks::join() { return view_.alone && open(0); }

DutyLocks::~DutyLocks() {
  if (view_.ownHeld) ReleaseMutex(own_.get());
}

void DutyLocks::ownTaken() {
  view_.ownHeld = true;
  // A new engine program: the user's session goes on.
  if (self_ == EngineKind::Program) sessionEnding(false);
}

void DutyLocks::otherEnded() {
  ReleaseMutex(other_.get());
  view_.otherRuns = false;
  view_.programsHeld = self_ == EngineKind::Service && sessionEnding();
}

bool DutyLocks::sessionEnding() const {
  return sessionEnd_ && WaitForSingleObject(sessionEnd_.get(), 0) == WAIT_OBJECT_0;
}

void DutyLocks::sessionEnding(bool ending) {
  if (!sessionEnd_) return;
  if (ending)
    SetEvent(sessionEnd_.get());
  else
    ResetEvent(sessionEnd_.get());
}

bool DutyLocks::probeOther() {
  if (view_.alone) return false;
  const bool free = taken(WaitForSingleObject(other_.get(), 0));
  if (free) ReleaseMutex(other_.get());
  const bool changed = view_.otherRuns == free;
  view_.otherRuns = !free;
  if (view_.otherRuns) view_.programsHeld = false;
  return changed;
}

}  // namespace monitor
