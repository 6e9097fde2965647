#include "app/popup_menu.h"

namespace app {

namespace {
int menusOpen = 0;  // the utility's one thread shows them
}

bool popupMenuOpen() { return menusOpen > 0; }

void showPopupMenu(HWND owner, int menuId, std::optional<POINT> at) {
  HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(menuId));
  if (!menu) return;
  if (!at) {
    at.emplace();
    GetCursorPos(&*at);
  }
  ++menusOpen;
  TrackPopupMenu(GetSubMenu(menu, 0), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at->x, at->y, 0, owner,
                 nullptr);
  --menusOpen;
  DestroyMenu(menu);
  // Lets the menu close properly when the user clicks elsewhere.
  PostMessageA(owner, WM_NULL, 0, 0);
}

}  // namespace app
