#pragma once
// Brings back the running copy: every top-level window whose title contains
// a text (letter case significant) is sent a restore command and a resize.
#include <windows.h>

#include <string>

namespace app {

// Stores `title` as the text searched for and enumerates the top-level
// windows, hidden ones included.
void restorePrevInstance(const std::string& title);

// The enumeration callback: sends WM_SYSCOMMAND/SC_RESTORE, then
// WM_SIZE/SIZE_MAXSHOW, to a window whose title contains the text searched
// for. Always returns 1 so that every matching window is reached.
BOOL CALLBACK enumWindowsProc(HWND window, LPARAM unused);

}  // namespace app
