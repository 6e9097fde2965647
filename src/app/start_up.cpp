#include "app/start_up.h"

#include "app/main_window.h"
#include "app/titles.h"
#include "ui/message_box.h"
#include "win/com.h"
#include "win/single_instance.h"

namespace app {
namespace {
// Written once before the enumeration, read by the callback on the same thread.
std::string targetTitle;
}  // namespace

int startProcedure(HINSTANCE instance, const std::string& arguments) {
  win::SingleInstance instanceMark = win::acquireSingleInstance(kInstanceMarkName);
  if (instanceMark.anotherRunning) {
    ui::showNotice(nullptr, kAlreadyRunningMessage);
    restorePrevInstance(kMainTitle);
    return 0;
  }
  win::ComApartment com;  // WMI and the file dialogs run in it
  MainWindow window(instance, arguments);
  if (!window.show()) return 1;
  return window.run();
}

void restorePrevInstance(const std::string& title) {
  targetTitle = title;
  EnumWindows(enumWindowsProc, 0);
}

BOOL CALLBACK enumWindowsProc(HWND window, LPARAM) {
  char buffer[256];
  int n = GetWindowTextA(window, buffer, sizeof buffer);
  std::string_view text(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
  if (text.find(targetTitle) != std::string_view::npos) {
    SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    SendMessageA(window, WM_SIZE, SIZE_MAXSHOW, 0);
  }
  return 1;
}

}  // namespace app
