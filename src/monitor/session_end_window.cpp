#include "monitor/session_end_window.h"

namespace monitor {
namespace {

constexpr char kClassName[] = "BrennixMonitorEngineWindow";

}  // namespace

SessionEndWindow::SessionEndWindow(HANDLE ending, HANDLE stop, const std::function<void()>& finish)
    : ending_(ending), stop_(stop), finish_(finish) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kClassName;
  RegisterClassA(&windowClass);
  window_.reset(CreateWindowExA(0, kClassName, "Brennix Monitor engine", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                                nullptr, instance, this));
}

LRESULT CALLBACK SessionEndWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<SessionEndWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_QUERYENDSESSION:
      SetEvent(self->ending_);
      return TRUE;
    case WM_ENDSESSION:
      if (!wParam) {
        ResetEvent(self->ending_);
        return 0;
      }
      SetEvent(self->ending_);
      SetEvent(self->stop_);
      try {
        if (self->finish_) self->finish_();
      } catch (...) {  // out of memory: the end of the process comes anyway
      }
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace monitor
