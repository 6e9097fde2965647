#pragma once
// The utility's open-file dialog.
#include <windows.h>

#include <string>

namespace ui {

// Shows an explorer-style open-file dialog in which only an existing file
// can be chosen and no read-only box shows (flags 528388), for paths of up
// to 10000 characters. `filter` is "description|pattern". Returns the chosen
// full path, or the empty text when the user cancelled; throws
// base::Error when the dialog itself fails.
std::string chooseFile(HWND owner, const char* title, const char* filter);

}  // namespace ui
