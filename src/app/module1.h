#pragma once
// The program's entry: one running copy at a time.
#include <windows.h>

#include <string>

#include "base/unique_resource.h"

namespace app {

inline constexpr char kAlreadyRunningMessage[] =
    "Another copy of the configuration utility is already running. Check system tray for icon";

// The mark of the running copy: a mutex only this program creates.
struct SingleInstance {
  base::unique_handle mark;     // held for the life of the first copy
  bool anotherRunning = false;  // another copy of this program holds it
};
SingleInstance acquireSingleInstance();

// Second copy: tells the user, restores the running copy's window, returns 0.
// First copy: creates and shows the main window and runs the program until it
// ends; returns the exit code.
int startProcedure(HINSTANCE instance, const std::string& arguments);

}  // namespace app
