#include "app/main_window.h"

#include <commctrl.h>

#include <exception>
#include <utility>

#include "app/popup_menu.h"
#include "app/titles.h"
#include "base/text.h"
#include "control/engine_programs.h"
#include "ui/dialog_focus.h"
#include "ui/message_box.h"
#include "ui/resource.h"
#include "ui/wait_cursor.h"
#include "win/files.h"
#include "win/process_launch.h"

namespace app {
namespace {

constexpr UINT_PTR kMinimizeTimer = 2;
constexpr UINT kMinimizeInterval = 500;
// Posted to itself once the window is on screen.
constexpr UINT kPrepareRebuild = WM_APP + 1;

bool registerWindowClass(HINSTANCE instance, WNDPROC proc) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExA(instance, kMainClass, &wc)) return true;
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.cbWndExtra = DLGWINDOWEXTRA;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
  wc.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                             LR_DEFAULTCOLOR));
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kMainClass;
  return RegisterClassExA(&wc) != 0;
}

}  // namespace

bool startsMinimized(const std::string& arguments) {
  return !arguments.empty() && base::equalsIgnoringCase(arguments, "minimize");
}

MainWindow::MainWindow(HINSTANCE instance, std::string arguments)
    : instance_(instance),
      arguments_(std::move(arguments)),
      folder_(win::appFolder()),
      items_(folder_),
      actions_(folder_),
      status_(folder_) {}

MainWindow::~MainWindow() {
  if (hwnd_) DestroyWindow(hwnd_);
}

bool MainWindow::show() {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  if (!registerWindowClass(instance_, windowProc)) return false;
  // WM_INITDIALOG runs the load handler before the window is first drawn. It
  // is sent only when there is a dialog procedure; the window procedure of
  // the class handles everything, so that one does nothing.
  hwnd_ = CreateDialogParamA(
      instance_, MAKEINTRESOURCEA(IDD_MAIN_WINDOW), nullptr,
      [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, reinterpret_cast<LPARAM>(this));
  if (!hwnd_) return false;
  ui::keepDefaultBorderWithFocus(hwnd_);
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  PostMessageA(hwnd_, kPrepareRebuild, 0, 0);
  return true;
}

int MainWindow::run() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (hwnd_ && IsDialogMessageA(hwnd_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

LRESULT CALLBACK MainWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* window = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (message == WM_INITDIALOG) {
    window = reinterpret_cast<MainWindow*>(lParam);
    window->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  if (!window) return DefDlgProcA(hwnd, message, wParam, lParam);
  try {
    return window->onMessage(message, wParam, lParam);
  } catch (const std::exception& e) {
    // Nothing may unwind into the system: the failure is shown as every
    // handler's error step shows it.
    ui::showError(hwnd, e);
    return 0;
  }
}

LRESULT MainWindow::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      Form_Load();
      // No focus yet: a focus set in the hidden window would make it active
      // unseen, and its caption would then show inactive. Shown, it becomes
      // active, and the dialog manager gives the focus to the first control.
      return FALSE;
    case WM_TIMER:
      onTimer(wParam);
      return 0;
    case kPrepareRebuild:
      items_.prepareRebuild();
      return 0;
    case WM_COMMAND:
      onCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY:
      if (auto answer = items_.onNotify(*reinterpret_cast<NMHDR*>(lParam))) return *answer;
      break;
    case WM_CTLCOLORSTATIC:
      if (HBRUSH brush =
              actions_.onCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)))
        return reinterpret_cast<LRESULT>(brush);
      break;
    case WM_DRAWITEM:
      status_.onDrawItem(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_SETCURSOR:
      if (ui::WaitCursor::keepHourglass()) return TRUE;
      break;
    case WM_MOUSEMOVE:
      // The tray icon's notifications arrive as mouse moves.
      if (tray_.isNotification(wParam, lParam)) Form_MouseMove(lParam);
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        // The title-bar button, the window menu's Close and Alt+F4 all come
        // this way; any other WM_CLOSE is not the user's.
        closingFromSystemMenu_ = true;
        LRESULT result = DefDlgProcA(hwnd_, message, wParam, lParam);
        closingFromSystemMenu_ = false;
        return result;
      }
      break;
    case WM_CLOSE:
      Form_QueryUnload(closingFromSystemMenu_);
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wParam) Form_QueryUnload(false);
      return 0;
    case WM_SIZE:
      Form_Resize(wParam);
      break;
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

void MainWindow::onCommand(int id, int code) {
  switch (id) {
    case IDM_CONFIGURE:
      mconfigure_Click();
      return;
    case IDM_SHUT_DOWN:
      mShutdown_Click();
      return;
    default:
      break;
  }
  // Enter and Esc in a field come as IDOK and IDCANCEL: nobody takes them.
  if (!items_.onCommand(id) && !status_.onCommand(id)) actions_.onCommand(id, code);
}

void MainWindow::onTimer(UINT_PTR id) {
  if (id == kMinimizeTimer)
    minimizetimer_Timer();
  else if (!items_.onTimer(id))
    status_.onTimer(id);
}

// ---- Load, close and resize ---------------------------------------------

// The load handler: runs once per run, before the window is first shown.
void MainWindow::Form_Load() {
  items_.attach(hwnd_);
  actions_.attach(hwnd_);
  status_.attach(hwnd_);
  tray_ = TrayIcon(hwnd_, reinterpret_cast<HICON>(GetClassLongPtrA(hwnd_, GCLP_HICONSM)));

  // 1. The grid is filled a tenth of a second after the window is on screen.
  items_.requestRebuild();
  // 2. The mail component, with its events connected to this window.
  poSendMail = std::make_unique<mail::SendMail>();
  poSendMail->SendFailed = [this](const std::string& why) { poSendMail_SendFailed(why); };
  poSendMail->SendSuccesful = [this] { poSendMail_SendSuccesful(); };
  poSendMail->Status = [this](const std::string& status) { poSendMail_Status(status); };
  actions_.useMail(poSendMail.get());
  // 3. The grid's column widths.
  items_.setColumnWidths();
  // 4. The settings file into the action panel.
  actions_.loadSettings();
  // 5. The tray icon.
  tray_.addicontotaskbar();
  // 6. "minimize" as the whole argument text, in any letter case, starts hidden.
  if (startsMinimized(arguments_)) SetTimer(hwnd_, kMinimizeTimer, kMinimizeInterval, nullptr);
}

bool MainWindow::Form_QueryUnload(bool closedByUser) {
  if (closedByUser) {
    if (!IsIconic(hwnd_)) ShowWindow(hwnd_, SW_MINIMIZE);  // and so hidden
    return true;
  }
  // Windows ends the session, or another program closes the window.
  tray_.deleteiconfromtaskbar();
  DestroyWindow(hwnd_);
  return false;
}

void MainWindow::Form_Resize(WPARAM sizeType) {
  if (sizeType == SIZE_MINIMIZED) ShowWindow(hwnd_, SW_HIDE);
}

// ---- Tray icon and its menu -------------------------------------------------

void MainWindow::Form_MouseMove(LPARAM position) {
  switch (TrayIcon::notificationCode(position)) {
    case WM_LBUTTONDBLCLK:
      if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
      SetForegroundWindow(hwnd_);
      ShowWindow(hwnd_, SW_SHOW);
      status_.armRefresh();
      items_.loadProcesslist();
      break;
    case WM_RBUTTONUP:
      SetForegroundWindow(hwnd_);
      showPopupMenu(hwnd_, IDR_TRAY_MENU);
      break;
    default:
      break;  // single clicks, presses and plain moves do nothing
  }
}

void MainWindow::minimizetimer_Timer() {
  ShowWindow(hwnd_, SW_MINIMIZE);  // and so hidden
  KillTimer(hwnd_, kMinimizeTimer);
}

void MainWindow::mconfigure_Click() {
  ShowWindow(hwnd_, SW_SHOW);
  if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
  status_.armRefresh();
  items_.loadProcesslist();
}

// ---- The test e-mail's outcome ------------------------------------------------

void MainWindow::poSendMail_SendFailed(const std::string& Explanation) {
  MessageBoxA(hwnd_, ("Test failed! " + Explanation).c_str(), ui::kAppTitle, MB_OK | MB_ICONEXCLAMATION);
}

void MainWindow::poSendMail_SendSuccesful() {
  MessageBoxA(hwnd_, "Test successful.", ui::kAppTitle, MB_OK | MB_ICONINFORMATION);
}

void MainWindow::poSendMail_Status(const std::string&) {}  // progress is not shown

void MainWindow::mShutdown_Click() {
  if (!ui::confirm(hwnd_, "Are you sure you?", "Confirm shut down")) return;
  win::startProgram(control::stopperFromShutDown(folder_));
  tray_.deleteiconfromtaskbar();
  ExitProcess(0);  // at once: no close handling, nothing saved
}

}  // namespace app
