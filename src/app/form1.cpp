#include "app/form1.h"

#include <utility>

#include "app/resource.h"
#include "app/titles.h"
#include "base/files.h"

namespace app {
namespace {

bool registerFormClass(HINSTANCE instance, WNDPROC proc) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExA(instance, kMainClass, &wc)) return true;
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.cbWndExtra = DLGWINDOWEXTRA;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
  wc.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kMainClass;
  return RegisterClassExA(&wc) != 0;
}

}  // namespace

Form1::Form1(HINSTANCE instance, std::string arguments)
    : instance_(instance), arguments_(std::move(arguments)), folder_(base::appFolder()) {}

Form1::~Form1() {
  if (hwnd_) DestroyWindow(hwnd_);
}

bool Form1::show() {
  if (!registerFormClass(instance_, windowProc)) return false;
  // WM_INITDIALOG runs the load handler before the window is first drawn.
  hwnd_ = CreateDialogParamA(instance_, MAKEINTRESOURCEA(IDD_FORM1), nullptr, nullptr,
                             reinterpret_cast<LPARAM>(this));
  if (!hwnd_) return false;
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  return true;
}

int Form1::run() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (hwnd_ && IsDialogMessageA(hwnd_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

LRESULT CALLBACK Form1::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* form = reinterpret_cast<Form1*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (message == WM_INITDIALOG) {
    form = reinterpret_cast<Form1*>(lParam);
    form->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  if (form) return form->onMessage(message, wParam, lParam);
  return DefDlgProcA(hwnd, message, wParam, lParam);
}

LRESULT Form1::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      Form_Load();
      return TRUE;
    case WM_CLOSE:
      Form_QueryUnload();
      return 0;
    case WM_DESTROY: {
      HWND hwnd = std::exchange(hwnd_, nullptr);
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      PostQuitMessage(0);
      return DefDlgProcA(hwnd, message, wParam, lParam);
    }
    default:
      break;
  }
  return DefDlgProcA(hwnd_, message, wParam, lParam);
}

// The load handler: runs once per run, before the window is first shown.
void Form1::Form_Load() {}

void Form1::Form_QueryUnload() { DestroyWindow(hwnd_); }

}  // namespace app
