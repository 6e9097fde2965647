#include "app/form1.h"

#include <commctrl.h>
#include <windowsx.h>

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "app/resource.h"
#include "app/titles.h"
#include "app/tray_tip.h"
#include "base/file_dialog.h"
#include "base/files.h"
#include "base/message_box.h"
#include "base/text.h"
#include "base/wait_cursor.h"
#include "engine/engine_programs.h"
#include "engine/program_launch.h"
#include "engine/service_status.h"
#include "engine/wmi_find_process.h"
#include "items/frm_services.h"
#include "items/item_store.h"
#include "settings/action_panel.h"
#include "settings/emailsettings.h"

namespace app {
namespace {

// Timers of the main window.
constexpr UINT_PTR kLprocessListTimer = 1;
constexpr UINT kLprocessListInterval = 100;
constexpr UINT_PTR kMinimizeTimer = 2;
constexpr UINT kMinimizeInterval = 500;

// The dots of the status rows.
constexpr COLORREF kGreenDot = RGB(0x0C, 0xBA, 0x55);
constexpr COLORREF kRedDot = RGB(0xFF, 0x0A, 0x3E);

// What the state cell shows when the state could not be found out.
constexpr char kUnknownState[] = "Unknown";

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

// The description of a failure for the "Error: " message.
std::string describe(const std::exception& e) {
  if (auto* system = dynamic_cast<const std::system_error*>(&e)) return system->code().message();
  return e.what();
}

// The state text of one item line.
std::string itemState(HWND owner, engine::ProcessFinder& processes, const items::ItemFields& item) {
  const std::string name(item.name);
  if (items::isServicePath(item.path)) return engine::getServiceStatus(owner, name);
  return processes.IsProcessRunning(name) ? "Running" : "Not Running";
}

}  // namespace

NOTIFYICONDATAA makeTrayRecord(HWND window, UINT id, UINT flags, UINT callbackMessage, HICON icon,
                               std::string_view tip) {
  NOTIFYICONDATAA record{};
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

Form1::Form1(HINSTANCE instance, std::string arguments)
    : instance_(instance), arguments_(std::move(arguments)), folder_(base::appFolder()) {}

Form1::~Form1() {
  if (hwnd_) DestroyWindow(hwnd_);
}

bool Form1::show() {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  if (!registerFormClass(instance_, windowProc)) return false;
  // WM_INITDIALOG runs the load handler before the window is first drawn. It
  // is sent only when there is a dialog procedure; the window procedure of
  // the class handles everything, so that one does nothing.
  hwnd_ = CreateDialogParamA(instance_, MAKEINTRESOURCEA(IDD_FORM1), nullptr,
                             [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; },
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

bool Form1::checkforduplicateProcess(const std::string& name) const {
  return items::checkforduplicateProcess(folder_, name);
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
    case WM_TIMER:
      if (wParam == kLprocessListTimer) lprocessListTimer_Timer();
      if (wParam == kMinimizeTimer) minimizetimer_Timer();
      return 0;
    case WM_COMMAND:
      onCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (header->idFrom == IDC_MSFLEXGRID1 && header->code == NM_RCLICK) MSFlexGrid1_MouseDown();
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == GetDlgItem(hwnd_, IDC_LBLVIEWLOG)) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, GetSysColor(COLOR_ACTIVECAPTION));
        SetBkMode(dc, TRANSPARENT);
        SelectObject(dc, linkFont_.get());
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    case WM_DRAWITEM:
      onDrawItem(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_MOUSEMOVE:
      // The tray icon's notifications arrive as mouse moves (see addicontotaskbar).
      if (isTrayNotification(wParam, lParam)) Form_MouseMove(lParam);
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

void Form1::onCommand(int id, int code) {
  switch (id) {
    case IDC_CHKRESTART:
    case IDC_CHKLOG:
    case IDC_CHKSENDEMAIL:
    case IDC_CHKSENDEMAILEVERY:
    case IDC_CHKPLAYWAVFILE:
      // A click unchecks a checked box and checks any other, greyed included.
      if (code == BN_CLICKED)
        CheckDlgButton(hwnd_, id, IsDlgButtonChecked(hwnd_, id) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
      break;
    case IDC_CMDADDNEW: cmdAddnew_Click(); break;
    case IDC_CMDADDSERVICE: cmdAddService_Click(); break;
    case IDC_CMDDELETE: cmdDelete_Click(); break;
    case IDM_REFRESHTASKLIST: refreshTasklist_Click(); break;
    case IDM_CONFIGURE: mconfigure_Click(); break;
    case IDM_SHUTDOWN: mShutdown_Click(); break;
    case IDC_CMDEXIT: cmdExit_Click(); break;
    case IDC_CMDBROWSEWAVFILE: cmdbrowseWavFile_Click(); break;
    case IDC_LBLVIEWLOG: lblviewlog_Click(); break;
    case IDC_CMDEMAILSETTINGS: cmdEmailsettings_Click(); break;
    default: break;  // Enter and Esc in a field do nothing
  }
}

void Form1::onDrawItem(const DRAWITEMSTRUCT& item) {
  const bool green = item.CtlID == IDC_IMGGREENDOT || item.CtlID == IDC_IMGSERVICEGREENDOT;
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
  // A dot of 16 by 17 pixels at the top left of its place.
  HBRUSH brush = CreateSolidBrush(green ? kGreenDot : kRedDot);
  HGDIOBJ oldBrush = SelectObject(item.hDC, brush);
  HGDIOBJ oldPen = SelectObject(item.hDC, GetStockObject(NULL_PEN));
  Ellipse(item.hDC, item.rcItem.left, item.rcItem.top, item.rcItem.left + 17, item.rcItem.top + 18);
  SelectObject(item.hDC, oldPen);
  SelectObject(item.hDC, oldBrush);
  DeleteObject(brush);
}

bool Form1::isTrayNotification(WPARAM wParam, LPARAM lParam) const {
  if (wParam != kTrayIconId || HIWORD(lParam) != 0) return false;
  if (!IsWindowVisible(hwnd_)) return true;
  // A real pointer move over the bare window at exactly that point is no
  // notification.
  DWORD at = GetMessagePos();
  POINT p{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
  ScreenToClient(hwnd_, &p);
  return !(p.x == LOWORD(lParam) && p.y == 0);
}

void Form1::enableTimer(UINT_PTR id, UINT interval) { SetTimer(hwnd_, id, interval, nullptr); }
void Form1::disableTimer(UINT_PTR id) { KillTimer(hwnd_, id); }

// ---- Load, close and resize ---------------------------------------------

// The load handler: runs once per run, before the window is first shown.
void Form1::Form_Load() {
  MSFlexGrid1 = items::Grid(GetDlgItem(hwnd_, IDC_MSFLEXGRID1));
  MSFlexGrid1.setUp({"", "", "", ""});
  icon_ = reinterpret_cast<HICON>(GetClassLongPtrA(hwnd_, GCLP_HICONSM));
  // The action panel as designed: restart checked, the numeric fields
  // filtered, the sound note, and "View Log" underlined like a link.
  CheckDlgButton(hwnd_, IDC_CHKRESTART, BST_CHECKED);
  settings::applyNumericKeyFilter(GetDlgItem(hwnd_, IDC_TXTRESTARTSECS));
  settings::applyNumericKeyFilter(GetDlgItem(hwnd_, IDC_TEXTREPEATEMAILSMINS));
  settings::applySoundNote(GetDlgItem(hwnd_, IDC_CHKPLAYWAVFILE));
  LOGFONTA font{};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(hwnd_, WM_GETFONT, 0, 0)), sizeof font, &font);
  font.lfUnderline = TRUE;
  linkFont_.reset(CreateFontIndirectA(&font));

  // 1. The grid is filled a tenth of a second after the window is on screen.
  enableTimer(kLprocessListTimer, kLprocessListInterval);
  // 3. Column widths from the grid's width: the index column in effect
  //    invisible, then 40 %, 40 % and 20 % of the usable width.
  const double usable = MSFlexGrid1.widthTwips() - 125;
  MSFlexGrid1.setColumnWidthsTwips({1, static_cast<int>(std::lround(usable * 0.4)),
                                    static_cast<int>(std::lround(usable * 0.4)),
                                    static_cast<int>(std::lround(usable * 0.2))});
  // 4. The settings file into the action panel.
  loadSettings();
  // 5. The tray icon.
  addicontotaskbar();
  // 6. "minimize" as the whole argument text, in any letter case, starts hidden.
  if (!arguments_.empty() && base::equalsIgnoringCase(arguments_, "minimize"))
    enableTimer(kMinimizeTimer, kMinimizeInterval);
}

bool Form1::Form_QueryUnload(bool closedByUser) {
  if (closedByUser) {
    if (!IsIconic(hwnd_)) ShowWindow(hwnd_, SW_MINIMIZE);  // and so hidden
    return true;
  }
  // Windows ends the session, or another program closes the window.
  deleteiconfromtaskbar();
  DestroyWindow(hwnd_);
  return false;
}

void Form1::Form_Resize(WPARAM sizeType) {
  if (sizeType == SIZE_MINIMIZED) ShowWindow(hwnd_, SW_HIDE);
}

// ---- The item grid ---------------------------------------------------------

void Form1::loadProcesslist() {
  items::GridUpdate update(MSFlexGrid1);
  // Three empty rows; items go in file order before the last of them.
  try {
    MSFlexGrid1.clear();
    for (int i = 0; i < 3; ++i) MSFlexGrid1.insertRow(MSFlexGrid1.rowCount(), {"", "", "", ""});
    if (!base::fileExists(items::itemFilePath(folder_))) {
      items::loadItemSlots(folder_, itemSlots);  // creates it with its blank line
      SetCursor(LoadCursorA(nullptr, IDC_ARROW));
      return;
    }
  } catch (const std::exception& e) {
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    base::showError(hwnd_, describe(e));
    return;
  }

  // From here on a failing step is skipped without a message.
  base::WaitCursor hourglass;
  try {
    items::loadItemSlots(folder_, itemSlots);
  } catch (const std::exception&) {
  }
  for (std::size_t slot = 0; slot < items::kSlotCount; ++slot) {
    const std::string& line = itemSlots.slots[slot];
    if (!items::isItemLine(line)) continue;
    const items::ItemFields item = items::splitItem(line);
    std::string state = kUnknownState;
    try {
      state = itemState(hwnd_, processFinder_, item);
    } catch (const std::exception&) {
    }
    MSFlexGrid1.insertRow(MSFlexGrid1.rowCount() - 1,
                          {std::to_string(slot), std::string(item.name), std::string(item.path), state});
  }
}

void Form1::lprocessListTimer_Timer() {
  loadProcesslist();
  disableTimer(kLprocessListTimer);
}

void Form1::refreshTasklist_Click() { loadProcesslist(); }

void Form1::MSFlexGrid1_MouseDown() { showPopup(IDR_PROCESSMENU); }

void Form1::cmdAddnew_Click() {
  HWND button = GetDlgItem(hwnd_, IDC_CMDADDNEW);
  EnableWindow(button, FALSE);
  try {
    const std::string path =
        base::chooseFile(hwnd_, "Choose .exe file you would like to monitor", "Executable Files (*.exe)|*.exe");
    if (path.size() > 1) {
      const std::string name = path.substr(path.find_last_of('\\') + 1);
      if (checkforduplicateProcess(name)) {
        base::showNotice(hwnd_, kDuplicateProcessMessage);
      } else {
        items::appendItem(items::itemFilePath(folder_), name, path);
        enableTimer(kLprocessListTimer, kLprocessListInterval);
      }
    }
  } catch (const std::exception& e) {
    EnableWindow(button, TRUE);
    base::showError(hwnd_, describe(e));
    return;
  }
  EnableWindow(button, TRUE);
}

void Form1::cmdDelete_Click() {
  HWND button = GetDlgItem(hwnd_, IDC_CMDDELETE);
  EnableWindow(button, FALSE);
  const int row = MSFlexGrid1.selectedRow();
  const std::string index = row < 0 ? std::string{} : MSFlexGrid1.cell(row, 0);
  if (index.empty()) {
    base::showNotice(hwnd_, kSelectItemMessage);
  } else if (base::confirmWithQuestion(hwnd_, kConfirmDeleteMessage)) {
    try {
      base::WaitCursor hourglass;
      items::rewriteWithout(items::itemFilePath(folder_), itemSlots, std::lround(base::leadingNumber(index)));
      loadProcesslist();
    } catch (const std::exception&) {
      EnableWindow(button, TRUE);
      base::showNotice(hwnd_, kDeleteFailedMessage);
      return;
    }
  }
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  EnableWindow(button, TRUE);
}

void Form1::cmdAddService_Click() {
  items::frmServices::show(hwnd_, folder_, [this] { enableTimer(kLprocessListTimer, kLprocessListInterval); });
}

// ---- Tray icon and menus ---------------------------------------------------

// The icon's notifications come to the window as its own mouse-move
// message: the tray's mouse message stands where a move has its X position.
void Form1::addicontotaskbar() {
  NOTIFYICONDATAA record = makeTrayRecord(hwnd_, kTrayIconId, NIF_MESSAGE | NIF_ICON | NIF_TIP, WM_MOUSEMOVE,
                                          icon_, kTrayTip);
  Shell_NotifyIconA(NIM_ADD, &record);
}

void Form1::deleteiconfromtaskbar() {
  NOTIFYICONDATAA record = makeTrayRecord(hwnd_, kTrayIconId, 0, 0, nullptr, "");
  Shell_NotifyIconA(NIM_DELETE, &record);
}

void Form1::Form_MouseMove(LPARAM position) {
  switch (LOWORD(position)) {
    case WM_LBUTTONDBLCLK:
      if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
      SetForegroundWindow(hwnd_);
      ShowWindow(hwnd_, SW_SHOW);
      loadProcesslist();
      break;
    case WM_RBUTTONUP:
      SetForegroundWindow(hwnd_);
      showPopup(IDR_MPOPUPSYS);
      break;
    default:
      break;  // single clicks, presses and plain moves do nothing
  }
}

void Form1::showPopup(int menuId) {
  HMENU menu = LoadMenuA(instance_, MAKEINTRESOURCEA(menuId));
  if (!menu) return;
  POINT at;
  GetCursorPos(&at);
  TrackPopupMenu(GetSubMenu(menu, 0), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr);
  DestroyMenu(menu);
  // Lets the menu close properly when the user clicks elsewhere.
  PostMessageA(hwnd_, WM_NULL, 0, 0);
}

void Form1::minimizetimer_Timer() {
  ShowWindow(hwnd_, SW_MINIMIZE);  // and so hidden
  disableTimer(kMinimizeTimer);
}

void Form1::mconfigure_Click() {
  ShowWindow(hwnd_, SW_SHOW);
  if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
  loadProcesslist();
}

void Form1::mShutdown_Click() {
  if (MessageBoxA(hwnd_, "Are you sure you?", "Confirm shut down", MB_YESNO) != IDYES) return;
  engine::startProgram(engine::stopperFromShutDown(folder_));
  deleteiconfromtaskbar();
  ExitProcess(0);  // at once: no close handling, nothing saved
}

// ---- Settings and the action panel ------------------------------------------

namespace {

struct PanelControl {
  int id;
  bool checkBox;
};
// Slots 0 to 8, in order.
constexpr PanelControl kPanel[] = {
    {IDC_CHKRESTART, true},        {IDC_TXTRESTARTSECS, false}, {IDC_CHKLOG, true},
    {IDC_CHKSENDEMAIL, true},      {IDC_TXTEMAILADDRESSES, false}, {IDC_CHKSENDEMAILEVERY, true},
    {IDC_TEXTREPEATEMAILSMINS, false}, {IDC_CHKPLAYWAVFILE, true}, {IDC_TXTFILETOPLAY, false}};

std::string settingsPath(const std::string& folder) { return folder + "\\" + std::string(settings::kFileName); }

}  // namespace

void Form1::loadSettings() {
  const std::string file = settingsPath(folder_);
  try {
    if (!base::fileExists(file)) {
      settings::createSettingsFile(file);
    } else {
      base::WaitCursor hourglass;
      settings::readSettings(file, settingsSlots);
    }
  } catch (const std::exception& e) {
    // The panel keeps its designed values and the table stays empty.
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    base::showError(hwnd_, describe(e));
    return;
  }
  // Each control by itself: a value it refuses leaves it as it is.
  for (std::size_t slot = 0; slot < std::size(kPanel); ++slot) {
    const auto& control = kPanel[slot];
    if (control.checkBox) {
      auto value = settingsSlots[slot].asNumber();
      if (value && *value >= 0 && *value <= 2)
        CheckDlgButton(hwnd_, control.id, *value == 2 ? BST_INDETERMINATE : static_cast<UINT>(*value));
    } else {
      SetDlgItemTextA(hwnd_, control.id, settingsSlots[slot].asText().c_str());
    }
  }
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

void Form1::cmdExit_Click() {
  for (std::size_t slot = 0; slot < std::size(kPanel); ++slot) {
    const auto& control = kPanel[slot];
    settingsSlots[slot] = control.checkBox
                              ? settings::Slot::number(IsDlgButtonChecked(hwnd_, control.id) == BST_CHECKED ? 1 : 0)
                              : settings::Slot::text(settings::controlText(GetDlgItem(hwnd_, control.id)));
  }
  try {
    settings::writeSettings(settingsPath(folder_), settingsSlots);
  } catch (const std::exception& e) {
    base::showError(hwnd_, describe(e));
    ExitProcess(1);  // at once, as after any failed save from here
  }
  ShowWindow(hwnd_, SW_HIDE);  // to the tray, without being minimised
}

void Form1::cmdbrowseWavFile_Click() {
  try {
    const std::string path = base::chooseFile(hwnd_, "Choose a .wav file", "WAV Audio Files (*.wav)|*.wav");
    if (path.size() > 1) SetDlgItemTextA(hwnd_, IDC_TXTFILETOPLAY, path.c_str());
  } catch (const std::exception& e) {
    base::showError(hwnd_, describe(e));
  }
}

void Form1::lblviewlog_Click() {
  // Notepad by its full path, so that a folder with blanks in the command
  // line cannot start anything else.
  char notepad[MAX_PATH] = {};
  DWORD error = 0;
  if (!SearchPathA(nullptr, "notepad.exe", nullptr, MAX_PATH, notepad, nullptr)) {
    error = GetLastError();
  } else {
    engine::ProgramLaunch launch{notepad, "notepad.exe " + folder_ + "\\log.text", engine::WindowMode::Normal, false};
    error = engine::startProgram(launch);
  }
  if (error)
    MessageBoxA(hwnd_, ("Unable to display log " + base::describeError(error)).c_str(), "Log",
                MB_OK | MB_ICONINFORMATION);
}

void Form1::cmdEmailsettings_Click() { settings::emailsettings::show(hwnd_, folder_, settingsSlots); }

}  // namespace app
