#pragma once
// The icon in the notification area: the record the shell is given, the tip
// fitted into its field, and the decoding of the icon's notifications, which
// arrive as the main window's own mouse-move message.
#include <windows.h>
#include <shellapi.h>

#include <array>
#include <string_view>

namespace app {

inline constexpr std::size_t kTipField = 64;
inline constexpr char kTrayTip[] =
    "Monitor System Processes and Restart if Necessary - Right click for options";
inline constexpr UINT kTrayIconId = 1;

// The text cut to its first 63 characters, a NUL, and blanks to the end.
std::array<char, kTipField> fitTrayTip(std::string_view text);

// Builds every tray record: the first, smallest ANSI form of the record,
// with the tip fitted into its 64-character field.
NOTIFYICONDATAA makeTrayRecord(HWND window, UINT id, UINT flags, UINT callbackMessage, HICON icon,
                               std::string_view tip);

class TrayIcon {
 public:
  TrayIcon() = default;
  TrayIcon(HWND window, HICON icon) : window_(window), icon_(icon) {}

  // Adds the icon with its tip; its notifications come as WM_MOUSEMOVE.
  void addicontotaskbar();
  void deleteiconfromtaskbar();

  // True when a WM_MOUSEMOVE of the window is the icon's notification rather
  // than a real pointer move over the window.
  bool isNotification(WPARAM wParam, LPARAM lParam) const;
  // The mouse message that happened over the icon (WM_LBUTTONDBLCLK, ...).
  static UINT notificationCode(LPARAM lParam) { return LOWORD(lParam); }

 private:
  HWND window_ = nullptr;
  HICON icon_ = nullptr;
};

}  // namespace app
