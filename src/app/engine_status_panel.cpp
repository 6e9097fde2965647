#include "app/engine_status_panel.h"

#include <exception>

#include "app/popup_menu.h"
#include "base/error.h"
#include "ui/dialog_focus.h"
#include "ui/gdi.h"
#include "ui/message_box.h"
#include "ui/resource.h"
#include "ui/wait_cursor.h"
#include "win/error.h"

namespace app {
namespace {

constexpr COLORREF kGreenDot = RGB(0x0C, 0xBA, 0x55);
constexpr COLORREF kRedDot = RGB(0xFF, 0x0A, 0x3E);

constexpr UINT_PTR kProcesschkTimer = 10;
constexpr UINT kProcesschkInterval = 800;
constexpr UINT_PTR kRestartMonitor = 11;
constexpr UINT kRestartMonitorInterval = 60700;

void showEngineMessage(HWND owner, const std::string& text) {
  MessageBoxA(owner, text.c_str(), "Service Start", MB_OK | MB_ICONINFORMATION);
}

// Clears a flag at the end of a scope, whatever way it is left.
struct Busy {
  explicit Busy(bool& flag) : flag_(flag) { flag_ = true; }
  ~Busy() { flag_ = false; }
  bool& flag_;
};

}  // namespace

void EngineStatusPanel::attach(HWND window) {
  window_ = window;
  SetTimer(window, kProcesschkTimer, kProcesschkInterval, nullptr);
  SetTimer(window, kRestartMonitor, kRestartMonitorInterval, nullptr);
}

void EngineStatusPanel::armRefresh() { SetTimer(window_, kProcesschkTimer, kProcesschkInterval, nullptr); }

bool EngineStatusPanel::onCommand(int id) {
  switch (id) {
    case IDC_START_PROGRAM:
      cmdstartService_Click();
      return true;
    case IDC_STOP_PROGRAM:
      cmdStopservice_Click();
      return true;
    case IDC_START_SERVICE:
      cmdsartRealSrv_Click();
      return true;
    case IDC_STOP_SERVICE:
      cmdstopRealSrv_Click();
      return true;
    default:
      return false;
  }
}

bool EngineStatusPanel::onTimer(UINT_PTR id) {
  if (id == kProcesschkTimer)
    processchkTimer_Timer();
  else if (id == kRestartMonitor)
    restartMonitor_Timer();
  else
    return false;
  return true;
}

// ---- The status refresh ------------------------------------------------------

void EngineStatusPanel::processchkTimer_Timer() {
  if (refreshing_ || popupMenuOpen()) return;  // the next tick refreshes
  Busy busy(refreshing_);
  HWND installing = GetDlgItem(window_, IDC_INSTALLING_SERVICE);
  try {
    if (!engine_.serviceInstalled()) {
      ShowWindow(installing, SW_SHOW);
      UpdateWindow(installing);
      engine_.writeServiceBatches();
      engine_.runInstallBatch();
    }
  } catch (const std::exception& e) {
    KillTimer(window_, kProcesschkTimer);
    ShowWindow(installing, SW_HIDE);
    MessageBoxA(window_, (kStartUpItemFailure + base::describe(e)).c_str(), ui::kAppTitle, MB_OK);
    return;
  }
  ShowWindow(installing, SW_HIDE);
  // From here a failing step leaves its light red and the next step runs.
  setProgramLight(engineRunning());
  setServiceLight(serviceRunning());
  KillTimer(window_, kProcesschkTimer);
  ShowWindow(installing, SW_HIDE);
}

bool EngineStatusPanel::engineRunning() const {
  try {
    return engine_.engineRunning();
  } catch (const std::exception&) {
    return false;
  }
}

bool EngineStatusPanel::serviceRunning() const {
  try {
    return engine_.serviceRunning();
  } catch (const std::exception&) {
    return false;
  }
}

void EngineStatusPanel::setProgramLight(bool running) {
  showRow(IDC_PROGRAM_GREEN_DOT, IDC_PROGRAM_RED_DOT, IDC_START_PROGRAM, IDC_STOP_PROGRAM, running);
}

void EngineStatusPanel::setServiceLight(bool running) {
  showRow(IDC_SERVICE_GREEN_DOT, IDC_SERVICE_RED_DOT, IDC_START_SERVICE, IDC_STOP_SERVICE, running);
}

void EngineStatusPanel::showRow(int green, int red, int start, int stop, bool running) {
  ShowWindow(GetDlgItem(window_, green), running ? SW_SHOW : SW_HIDE);
  ShowWindow(GetDlgItem(window_, red), running ? SW_HIDE : SW_SHOW);
  // The button that goes out passes the focus, if it has it, to the one that comes in.
  HWND on = GetDlgItem(window_, running ? stop : start), off = GetDlgItem(window_, running ? start : stop);
  EnableWindow(on, TRUE);
  ui::disableKeepingFocus(off, on);
}

// ---- The engine program's row and its watchdog ---------------------------------

void EngineStatusPanel::cmdstartService_Click() {
  if (DWORD error = engine_.startEngine(false)) {
    showEngineMessage(window_, "Unable to start service: " + win::describeError(error));
    return;
  }
  armRefresh();
}

void EngineStatusPanel::cmdStopservice_Click() {
  try {
    engine_.stopEngine();
  } catch (const std::exception& e) {
    showEngineMessage(window_, "Unable to stop service: " + base::describe(e));
  }
  armRefresh();
}

// When the process test fails or the program cannot be started, the watchdog
// says nothing and tries again at its next tick.
void EngineStatusPanel::restartMonitor_Timer() {
  if (watching_) return;
  Busy busy(watching_);
  try {
    if (!engine_.engineRunning() && engine_.startEngine(true) == 0) armRefresh();
  } catch (const std::exception&) {
  }
}

// ---- The engine service's row ----------------------------------------------------

void EngineStatusPanel::cmdsartRealSrv_Click() {
  if (serviceCalling_) return;
  Busy busy(serviceCalling_);
  ui::WaitCursor hourglass;
  engine_.startService();
  setServiceLight(serviceRunning());
}

void EngineStatusPanel::cmdstopRealSrv_Click() {
  if (serviceCalling_) return;
  Busy busy(serviceCalling_);
  ui::WaitCursor hourglass;
  engine_.stopService();
  setServiceLight(serviceRunning());
}

bool EngineStatusPanel::onDrawItem(const DRAWITEMSTRUCT& item) {
  bool green = false;
  switch (item.CtlID) {
    case IDC_PROGRAM_GREEN_DOT:
    case IDC_SERVICE_GREEN_DOT:
      green = true;
      break;
    case IDC_PROGRAM_RED_DOT:
    case IDC_SERVICE_RED_DOT:
      break;
    default:
      return false;
  }
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
  // A dot of 16 by 17 pixels at the top left of its place.
  ui::unique_gdi brush(CreateSolidBrush(green ? kGreenDot : kRedDot));
  ui::SelectedObject withBrush(item.hDC, brush.get());
  ui::SelectedObject withPen(item.hDC, GetStockObject(NULL_PEN));
  Ellipse(item.hDC, item.rcItem.left, item.rcItem.top, item.rcItem.left + 17, item.rcItem.top + 18);
  return true;
}

}  // namespace app
