// The floor of the start-up benchmark: the least a Windows program does to
// show a titled window (register a class, create, show, pump messages). Built
// a second time as bare_window_wmi, which first connects to WMI, queries the
// processes once and lists the services, and keeps that connection, as the
// utility does: the floor of the utility's working set. Built a third time as
// bare_dialog, which shows the utility's main window as its dialog template
// makes it (every control, the same class and font) with nothing done in it:
// what that window alone costs to show. Built a fourth time as hidden_window,
// which never shows its window: the memory floor of the engine program, whose
// hidden window hears the end of the session.
#include <windows.h>

#ifdef BARE_WINDOW_WMI
#include "win/com.h"
#include "win/services.h"
#include "win/wmi_processes.h"
#endif
#ifdef BARE_DIALOG
#include <commctrl.h>

#include "ui/resource.h"
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
#ifdef BARE_WINDOW_WMI
  win::ComApartment com;
  win::ProcessFinder finder;
  finder.IsProcessRunning("nothing.exe");
  win::listServices();
#endif
#ifdef BARE_DIALOG
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  const char* className = "BrennixConfigMainWindow";
  auto defaultProc = DefDlgProcA;
#else
  const char* className = "BareWindow";
  auto defaultProc = DefWindowProcA;
#endif
  static decltype(&DefWindowProcA) passOn = defaultProc;
  WNDCLASSA wc{};
  wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message == WM_DESTROY) PostQuitMessage(0);
    return passOn(hwnd, message, wParam, lParam);
  };
  wc.cbWndExtra = DLGWINDOWEXTRA;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = className;
  RegisterClassA(&wc);
#ifdef BARE_DIALOG
  HWND window = CreateDialogParamA(
      instance, MAKEINTRESOURCEA(IDD_MAIN_WINDOW), nullptr,
      [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
  SetWindowTextA(window, "Bare Dialog");
#else
  HWND window = CreateWindowA(className, "Bare Window", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                              400, 300, nullptr, nullptr, instance, nullptr);
#endif
#ifndef BARE_HIDDEN
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
#else
  static_cast<void>(window);
#endif
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
