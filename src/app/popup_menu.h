#pragma once
// Shows a pop-up menu of the resources at the pointer, or at a given place.
#include <windows.h>

#include <optional>

namespace app {

// The first pop-up of menu resource `menuId`, for `owner`, which receives
// the chosen item's WM_COMMAND: at `at` (screen coordinates) when given,
// else at the pointer.
void showPopupMenu(HWND owner, int menuId, std::optional<POINT> at = std::nullopt);

// Whether such a menu is open: work that waits with a message loop of its
// own (the status refresh) would take the menu's keys meanwhile.
bool popupMenuOpen();

}  // namespace app
