#pragma once
// Shows a pop-up menu of the resources at the pointer.
#include <windows.h>

namespace app {

// The first pop-up of menu resource `menuId`, at the pointer, for `owner`,
// which receives the chosen item's WM_COMMAND.
void showPopupMenu(HWND owner, int menuId);

}  // namespace app
