#include "monitor/session_end_window.h"

namespace monitor {
namespace {

constexpr char kClassName[] = "BrennixMonitorEngineWindow";
// How long the end of the session waits for the engine to finish; Windows
// gives a process about five seconds after WM_ENDSESSION.
constexpr DWORD kEndWaitMs = 4000;

}  // namespace

SessionEndWindow::SessionEndWindow(HANDLE ending, HANDLE stop, HANDLE ended)
    : ending_(ending), stop_(stop), ended_(ended), thread_([this] { run(); }) {}

SessionEndWindow::~SessionEndWindow() {
  // The window may not be there yet: then its thread sees `closing_` once it is.
  closing_ = true;
  if (HWND window = window_.load()) PostMessageA(window, WM_CLOSE, 0, 0);
  thread_.join();
}

void SessionEndWindow::run() {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kClassName;
  RegisterClassA(&windowClass);
  window_ = CreateWindowExA(0, kClassName, "Brennix Monitor engine", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                            nullptr, instance, this);
  if (!window_.load()) return;  // the engine runs on; only the end of the session goes unheard
  if (closing_) DestroyWindow(window_.load());
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
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
      WaitForSingleObject(self->ended_, kEndWaitMs);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace monitor
