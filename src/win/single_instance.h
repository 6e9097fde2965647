#pragma once
// The mark of the running copy of a program: a named mutex in the session's
// namespace that only that program creates.
#include <windows.h>

#include "win/unique_resource.h"

namespace win {

struct SingleInstance {
  unique_handle mark;           // held for the life of the first copy
  bool anotherRunning = false;  // another copy of this program holds it
};

// What the attempt to create the mark says about another copy: the mark
// existed already, or it exists but this copy may not open it (the first
// copy runs elevated, this one does not). When the mark cannot be made for
// any other reason, the copy runs rather than refusing to start.
bool anotherCopyHoldsMark(bool gotHandle, DWORD error);

// Creates or opens the mark of this name.
SingleInstance acquireSingleInstance(const char* name);

}  // namespace win
