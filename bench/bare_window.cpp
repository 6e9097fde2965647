// The floor of the start-up benchmark: the least a Windows program does to
// show a titled window (register a class, create, show, pump messages). Built
// a second time as bare_window_wmi, which first connects to WMI, queries the
// processes once and lists the services, and keeps that connection, as the
// utility does: the floor of the utility's working set.
#include <windows.h>

#ifdef BARE_WINDOW_WMI
#include "win/com.h"
#include "win/services.h"
#include "win/wmi_processes.h"
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
#ifdef BARE_WINDOW_WMI
  win::ComApartment com;
  win::ProcessFinder finder;
  finder.IsProcessRunning("nothing.exe");
  win::listServices();
#endif
  WNDCLASSA wc{};
  wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(hwnd, message, wParam, lParam);
  };
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "BareWindow";
  RegisterClassA(&wc);
  HWND window = CreateWindowA("BareWindow", "Bare Window", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 400,
                              300, nullptr, nullptr, instance, nullptr);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
