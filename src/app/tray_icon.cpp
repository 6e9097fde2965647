#include "app/tray_icon.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>

namespace app {
namespace {

// The shell's library, with what it loads, holds about a megabyte that the
// utility needs only for the moment of a change to its icon: it is loaded
// for each change and let go after it.
void notifyTray(DWORD message, NOTIFYICONDATAA& record) {
  HMODULE shell = LoadLibraryA("shell32.dll");
  if (!shell) return;
  if (auto notify =
          reinterpret_cast<decltype(&Shell_NotifyIconA)>(GetProcAddress(shell, "Shell_NotifyIconA")))
    notify(message, &record);
  FreeLibrary(shell);
}

}  // namespace

std::array<char, kTipField> fitTrayTip(std::string_view text) {
  std::array<char, kTipField> field;
  field.fill(' ');
  const std::size_t n = std::min(text.size(), kTipField - 1);
  std::copy_n(text.begin(), n, field.begin());
  field[n] = '\0';
  return field;
}

NOTIFYICONDATAA makeTrayRecord(HWND window, UINT id, UINT flags, UINT callbackMessage, HICON icon,
                               std::string_view tip) {
  NOTIFYICONDATAA record{};
  // The first form of the record: 88 bytes in a 32-bit program, 104 in a
  // 64-bit one, whose window and icon handles are 8 bytes with padding.
  record.cbSize = NOTIFYICONDATAA_V1_SIZE;
  record.hWnd = window;
  record.uID = id;
  record.uFlags = flags;
  record.uCallbackMessage = callbackMessage;
  record.hIcon = icon;
  const auto field = fitTrayTip(tip);
  std::memcpy(record.szTip, field.data(), field.size());
  return record;
}

// The icon's notifications come to the window as its own mouse-move
// message: the tray's mouse message stands where a move has its X position.
void TrayIcon::addicontotaskbar() {
  NOTIFYICONDATAA record =
      makeTrayRecord(window_, kTrayIconId, NIF_MESSAGE | NIF_ICON | NIF_TIP, WM_MOUSEMOVE, icon_, kTrayTip);
  notifyTray(NIM_ADD, record);
}

void TrayIcon::deleteiconfromtaskbar() {
  NOTIFYICONDATAA record = makeTrayRecord(window_, kTrayIconId, 0, 0, nullptr, "");
  notifyTray(NIM_DELETE, record);
}

bool TrayIcon::isNotification(WPARAM wParam, LPARAM lParam) const {
  if (wParam != kTrayIconId || HIWORD(lParam) != 0) return false;
  if (!IsWindowVisible(window_)) return true;
  // A real pointer move over the bare window at exactly that point is no
  // notification.
  DWORD at = GetMessagePos();
  POINT p{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
  ScreenToClient(window_, &p);
  return !(p.x == LOWORD(lParam) && p.y == 0);
}

}  // namespace app
