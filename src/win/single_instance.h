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

// Creates or opens the mark of this name.
SingleInstance acquireSingleInstance(const char* name);

}  // namespace win
