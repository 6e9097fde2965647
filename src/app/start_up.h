#pragma once
// The program's entry: one running copy at a time. A second copy tells the
// user and brings the running copy's window back.
#include <windows.h>

#include <string>

namespace app {

inline constexpr char kAlreadyRunningMessage[] =
    "Another copy of the configuration utility is already running. Check system tray for icon";
// The running copy's mark: a name of this program's own, in the session's
// namespace, so that only a running copy of the utility holds it, whatever
// folder it was started from.
inline constexpr char kInstanceMarkName[] =
    "Local\\BrennixConfig.SingleInstance.{5b0d7c2e-3f51-4a8e-9d6a-8f2e1c4b7a90}";

// Second copy: tells the user, restores the running copy's window, returns 0.
// First copy: creates and shows the main window and runs the program until it
// ends; returns the exit code.
int startProcedure(HINSTANCE instance, const std::string& arguments);

// Stores `title` as the text searched for and enumerates the top-level
// windows, hidden ones included.
void restorePrevInstance(const std::string& title);

// The enumeration callback: sends WM_SYSCOMMAND/SC_RESTORE, then
// WM_SIZE/SIZE_MAXSHOW, to a window whose title contains the text searched
// for (letter case significant). Always returns 1 so that every matching
// window is reached.
BOOL CALLBACK enumWindowsProc(HWND window, LPARAM unused);

}  // namespace app
