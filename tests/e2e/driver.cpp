#include "e2e/driver.h"

#include "win/process_list.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwchar>
#include <cstdio>
#include <fstream>
#include <ostream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace e2e {
namespace {

void copyFolder(const std::string& from, const std::string& to, const char* except) {
  WIN32_FIND_DATAA data{};
  win::unique_find search(FindFirstFileA((from + "\\*").c_str(), &data));
  if (!search) throw std::runtime_error("cannot read " + from);
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    std::string name = data.cFileName;
    if (_stricmp(name.c_str(), except) == 0) continue;
    if (!CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE))
      throw std::runtime_error("cannot copy " + name);
  } while (FindNextFileA(search.get(), &data));
}

struct EnumState {
  DWORD processId;
  std::vector<HWND>* out;
};

BOOL CALLBACK collectTop(HWND window, LPARAM param) {
  auto* state = reinterpret_cast<EnumState*>(param);
  if (processOf(window) == state->processId) state->out->push_back(window);
  return TRUE;
}

BOOL CALLBACK collectChild(HWND window, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

std::vector<HWND> children(HWND parent) {
  std::vector<HWND> out;
  EnumChildWindows(parent, collectChild, reinterpret_cast<LPARAM>(&out));
  return out;
}

// ---- Message-box icons, told apart by their pixels -------------------------

struct Pixels {
  int width = 0, height = 0;
  std::vector<COLORREF> data;
  COLORREF at(int x, int y) const { return data[static_cast<std::size_t>(y * width + x)]; }
};

Pixels grab(HDC source, int x, int y, int width, int height) {
  Pixels p;
  p.width = width;
  p.height = height;
  HDC memory = CreateCompatibleDC(source);
  HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
  for (int yy = 0; yy < height; ++yy)
    for (int xx = 0; xx < width; ++xx) p.data.push_back(GetPixel(memory, xx, yy));
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  return p;
}

Pixels drawIcon(HICON icon, int width, int height, COLORREF background) {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  HBRUSH brush = CreateSolidBrush(background);
  RECT all{0, 0, width, height};
  FillRect(memory, &all, brush);
  DeleteObject(brush);
  DrawIconEx(memory, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
  Pixels p = grab(memory, 0, 0, width, height);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return p;
}

// The share of the icon's opaque pixels that differ on screen.
double mismatch(const Pixels& screen, HICON icon) {
  Pixels onBlack = drawIcon(icon, screen.width, screen.height, RGB(0, 0, 0));
  Pixels onWhite = drawIcon(icon, screen.width, screen.height, RGB(255, 255, 255));
  int opaque = 0, differ = 0;
  for (int y = 0; y < screen.height; ++y)
    for (int x = 0; x < screen.width; ++x) {
      if (onBlack.at(x, y) != onWhite.at(x, y)) continue;  // transparent here
      ++opaque;
      if (onBlack.at(x, y) != screen.at(x, y)) ++differ;
    }
  return opaque ? static_cast<double>(differ) / opaque : 1.0;
}

BoxIcon identifyIcon(HWND iconControl) {
  if (!iconControl || !IsWindowVisible(iconControl)) return BoxIcon::None;
  if (!SendMessageA(iconControl, STM_GETICON, 0, 0)) return BoxIcon::None;  // shows no icon
  RECT r;
  GetWindowRect(iconControl, &r);
  HDC screen = GetDC(nullptr);
  Pixels shown = grab(screen, r.left, r.top, r.right - r.left, r.bottom - r.top);
  ReleaseDC(nullptr, screen);
  struct Candidate {
    BoxIcon kind;
    LPCSTR id;
  } candidates[] = {{BoxIcon::Information, IDI_INFORMATION},
                    {BoxIcon::Question, IDI_QUESTION},
                    {BoxIcon::Warning, IDI_WARNING},
                    {BoxIcon::Error, IDI_ERROR}};
  BoxIcon best = BoxIcon::Unknown;
  double bestScore = 0.05;  // at most 5 % of the pixels may differ
  for (const auto& c : candidates) {
    double score = mismatch(shown, LoadIconA(nullptr, c.id));
    if (score < bestScore) {
      bestScore = score;
      best = c.kind;
    }
  }
  return best;
}

MessageBoxView readMessageBox(HWND box) {
  MessageBoxView view;
  view.window = box;
  view.caption = windowText(box);
  HWND iconControl = nullptr;
  for (HWND child : children(box)) {
    std::string cls = className(child);
    if (_stricmp(cls.c_str(), "Static") == 0) {
      LONG style = GetWindowLongA(child, GWL_STYLE);
      if ((style & SS_TYPEMASK) == SS_ICON) {
        iconControl = child;
      } else if (std::string t = windowText(child); !t.empty()) {
        view.text = t;
      }
    } else if (_stricmp(cls.c_str(), "Button") == 0 && IsWindowVisible(child)) {
      view.buttons.push_back(windowText(child));
    }
  }
  view.icon = identifyIcon(iconControl);
  return view;
}

}  // namespace

bool drawnUnderlined(HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  HDC screen = GetDC(nullptr);
  const Pixels p = grab(screen, r.left, r.top, r.right - r.left, r.bottom - r.top);
  ReleaseDC(nullptr, screen);
  if (p.width == 0 || p.height == 0) return false;
  const COLORREF background = p.at(p.width - 1, 0);
  int left = p.width, right = -1;
  std::vector<int> ink(static_cast<std::size_t>(p.height));
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      if (p.at(x, y) != background) {
        ++ink[static_cast<std::size_t>(y)];
        left = std::min(left, x);
        right = std::max(right, x);
      }
  // A line under the text covers nearly every column that has ink.
  for (int n : ink)
    if (right >= left && n * 10 >= (right - left + 1) * 9) return true;
  return false;
}

std::string builtAppFolder() {
  std::string folder = BRENNIX_APP_DIR;
  if (!folder.empty() && folder[0] == '/') folder = "Z:" + folder;  // a Unix path under Wine
  for (char& c : folder)
    if (c == '/') c = '\\';
  return folder;
}

void pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

bool waitUntil(const std::function<bool()>& done, Duration timeout) {
  auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    pump();
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

void pumpFor(Duration time) {
  waitUntil([] { return false; }, time);
}

AppFolder::AppFolder(bool withServiceInstaller) : TempFolder("Brennix App") {
  copyFolder(builtAppFolder(), path(), withServiceInstaller ? "" : "nssm.exe");
}

AppFolder::~AppFolder() { endProcessesFrom(path()); }

std::string imageOf(DWORD processId) {
  win::unique_handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  char path[MAX_PATH];
  DWORD size = MAX_PATH;
  return process && QueryFullProcessImageNameA(process.get(), 0, path, &size) ? std::string(path, size) : "";
}

void endProcessesFrom(const std::string& folder) {
  win::forEachProcess([&](const PROCESSENTRY32& p) {
    if (_strnicmp(imageOf(p.th32ProcessID).c_str(), (folder + "\\").c_str(), folder.size() + 1) == 0) {
      win::unique_handle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, p.th32ProcessID));
      if (process && TerminateProcess(process.get(), 1)) WaitForSingleObject(process.get(), 5000);
    }
    return true;
  });
}

namespace {
int forProcessesNamed(const std::string& name, bool end) {
  int count = 0;
  win::forEachProcess([&](const PROCESSENTRY32& p) {
    if (_stricmp(p.szExeFile, name.c_str()) != 0) return true;
    ++count;
    win::unique_handle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, p.th32ProcessID));
    if (end && process && TerminateProcess(process.get(), 1)) WaitForSingleObject(process.get(), 5000);
    return true;
  });
  return count;
}
}  // namespace

int processesNamed(const std::string& name) { return forProcessesNamed(name, false); }
int endProcessesNamed(const std::string& name) { return forProcessesNamed(name, true); }

namespace {
win::unique_schandle openEngineService(DWORD access) {
  win::unique_schandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  return win::unique_schandle(OpenServiceA(manager.get(), "BrennixMonitor", access));
}
}  // namespace

SERVICE_STATUS_PROCESS engineServiceStatus() {
  SERVICE_STATUS_PROCESS s{};
  DWORD needed = 0;
  QueryServiceStatusEx(openEngineService(SERVICE_QUERY_STATUS).get(), SC_STATUS_PROCESS_INFO,
                       reinterpret_cast<BYTE*>(&s), sizeof s, &needed);
  return s;
}

bool engineServiceReaches(DWORD state, Duration timeout) {
  return waitUntil([&] { return engineServiceStatus().dwCurrentState == state; }, timeout);
}

void removeEngineService() {
  auto service = openEngineService(SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
  SERVICE_STATUS s;
  if (ControlService(service.get(), SERVICE_CONTROL_STOP, &s)) engineServiceReaches(SERVICE_STOPPED);
  if (DeleteService(service.get())) engineServiceReaches(0);
}

Process::~Process() { kill(); }

Process Process::start(const std::string& program, const std::string& arguments) {
  std::string commandLine = "\"" + program + "\"";
  if (!arguments.empty()) commandLine += " " + arguments;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &si, &pi))
    throw std::runtime_error("cannot start " + program + ": error " + std::to_string(GetLastError()));
  CloseHandle(pi.hThread);
  Process p;
  p.handle_.reset(pi.hProcess);
  p.id_ = pi.dwProcessId;
  return p;
}

bool Process::running() const {
  return handle_ && WaitForSingleObject(handle_.get(), 0) == WAIT_TIMEOUT;
}

bool Process::waitForExit(Duration timeout) const {
  return waitUntil([this] { return !running(); }, timeout);
}

DWORD Process::exitCode() const {
  DWORD code = 0;
  GetExitCodeProcess(handle_.get(), &code);
  return code;
}

void Process::kill() {
  if (running()) {
    TerminateProcess(handle_.get(), 1);
    WaitForSingleObject(handle_.get(), 5000);
  }
}

std::string windowText(HWND window) {
  // WM_GETTEXT, not GetWindowText: only the message reads the text of
  // another process's controls (edit fields included).
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) return {};
  std::string text(length + 1, '\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 2000,
                      &copied);
  text.resize(std::min<std::size_t>(copied, length));
  return text;
}

std::string className(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

DWORD processOf(HWND window) {
  DWORD id = 0;
  GetWindowThreadProcessId(window, &id);
  return id;
}

std::vector<HWND> topWindows(DWORD processId) {
  std::vector<HWND> out;
  EnumState state{processId, &out};
  EnumWindows(collectTop, reinterpret_cast<LPARAM>(&state));
  return out;
}

HWND findTopWindow(DWORD processId, const std::string& windowClass, const std::string& title) {
  for (HWND w : topWindows(processId)) {
    if (!windowClass.empty() && className(w) != windowClass) continue;
    if (!title.empty() && windowText(w) != title) continue;
    return w;
  }
  return nullptr;
}

HWND waitForTopWindow(DWORD processId, const std::string& windowClass, const std::string& title,
                      Duration timeout) {
  HWND found = nullptr;
  waitUntil([&] { return (found = findTopWindow(processId, windowClass, title)) != nullptr; }, timeout);
  return found;
}

bool click(HWND button) {
  if (!IsWindowEnabled(button) || !IsWindowVisible(button)) return false;
  PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
  return true;
}

void toggle(HWND checkBox) { PostMessageA(checkBox, BM_CLICK, 0, 0); }

int listRowCount(HWND listView) {
  return static_cast<int>(SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0));
}

namespace {

// Memory in another process, for messages whose arguments are pointers.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND window, std::size_t size) : size_(size) {
    process_.reset(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processOf(window)));
    if (!process_) throw std::runtime_error("cannot open the window's process");
    base_ = static_cast<char*>(VirtualAllocEx(process_.get(), nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    if (!base_) throw std::runtime_error("cannot reserve memory in the window's process");
  }
  ~RemoteBuffer() { VirtualFreeEx(process_.get(), base_, 0, MEM_RELEASE); }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  char* at(std::size_t offset) const { return base_ + offset; }
  template <class T>
  void write(std::size_t offset, const T& value) const {
    WriteProcessMemory(process_.get(), base_ + offset, &value, sizeof value, nullptr);
  }
  template <class T>
  T read(std::size_t offset) const {
    T value{};
    ReadProcessMemory(process_.get(), base_ + offset, &value, sizeof value, nullptr);
    return value;
  }
  std::string readText(std::size_t offset, std::size_t length) const {
    std::string text(length, '\0');
    ReadProcessMemory(process_.get(), base_ + offset, text.data(), length, nullptr);
    text.resize(std::strlen(text.c_str()));
    return text;
  }

 private:
  win::unique_handle process_;
  char* base_ = nullptr;
  std::size_t size_;
};

constexpr std::size_t kTextRoom = 4096;

POINT rowPoint(HWND listView, int row) {
  RemoteBuffer remote(listView, sizeof(RECT));
  RECT r{};
  r.left = LVIR_LABEL;
  remote.write(0, r);
  SendMessageA(listView, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.at(0)));
  r = remote.read<RECT>(0);
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

}  // namespace

std::string listCell(HWND listView, int row, int column) {
  RemoteBuffer remote(listView, sizeof(LVITEMA) + kTextRoom);
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = remote.at(sizeof(LVITEMA));
  item.cchTextMax = kTextRoom;
  remote.write(0, item);
  SendMessageA(listView, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.at(0)));
  return remote.readText(sizeof(LVITEMA), kTextRoom);
}

std::vector<std::vector<std::string>> listRows(HWND listView, int columns) {
  std::vector<std::vector<std::string>> rows;
  for (int r = 0, n = listRowCount(listView); r < n; ++r) {
    rows.emplace_back();
    for (int c = 0; c < columns; ++c) rows.back().push_back(listCell(listView, r, c));
  }
  return rows;
}

std::vector<std::string> listHeaders(HWND listView) {
  HWND header = reinterpret_cast<HWND>(SendMessageA(listView, LVM_GETHEADER, 0, 0));
  int count = static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
  std::vector<std::string> headers;
  RemoteBuffer remote(listView, sizeof(HDITEMA) + kTextRoom);
  for (int i = 0; i < count; ++i) {
    HDITEMA item{};
    item.mask = HDI_TEXT;
    item.pszText = remote.at(sizeof(HDITEMA));
    item.cchTextMax = kTextRoom;
    remote.write(0, item);
    remote.write(sizeof(HDITEMA), '\0');
    SendMessageA(header, HDM_GETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote.at(0)));
    headers.push_back(remote.readText(sizeof(HDITEMA), kTextRoom));
  }
  return headers;
}

void selectListRow(HWND listView, int row) {
  RemoteBuffer remote(listView, sizeof(LVITEMA));
  LVITEMA item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  remote.write(0, item);
  SendMessageA(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.at(0)));
}

int selectedListRow(HWND listView) {
  return static_cast<int>(SendMessageA(listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void doubleClickListRow(HWND listView, int row) {
  POINT p = rowPoint(listView, row);
  LPARAM at = MAKELPARAM(p.x, p.y);
  PostMessageA(listView, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(listView, WM_LBUTTONUP, 0, at);
  PostMessageA(listView, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  PostMessageA(listView, WM_LBUTTONUP, 0, at);
}

void rightPressListRow(HWND listView, int row) {
  POINT p = rowPoint(listView, row);
  PostMessageA(listView, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(p.x, p.y));
}

HWND findPopupMenu(DWORD processId) {
  for (HWND w : topWindows(processId))
    if (className(w) == "#32768" && IsWindowVisible(w)) return w;
  return nullptr;
}

void typeIntoMenu(HWND menu, char key) {
  PostMessageA(menu, WM_KEYDOWN, static_cast<WPARAM>(key), 0);
  PostMessageA(menu, WM_CHAR, static_cast<WPARAM>(key), 0);
  PostMessageA(menu, WM_KEYUP, static_cast<WPARAM>(key), 0);
}

void chooseMenuItem(HWND menu, int index) {
  for (int i = 0; i <= index; ++i) {
    PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(menu, WM_KEYUP, VK_DOWN, 0);
  }
  PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
  PostMessageA(menu, WM_KEYUP, VK_RETURN, 0);
}

namespace {

// The file name field of an open-file dialog: an edit of its own, or the
// one inside the file name combo box.
HWND fileNameField(HWND dialog) {
  if (HWND field = GetDlgItem(dialog, 0x480)) return field;
  if (HWND field = FindWindowExA(GetDlgItem(dialog, 0x47C), nullptr, "Edit", nullptr)) return field;
  for (HWND child : children(dialog))
    if (_stricmp(className(child).c_str(), "Edit") == 0 && IsWindowVisible(child)) return child;
  return nullptr;
}

}  // namespace

void chooseFile(HWND dialog, const std::string& path) {
  HWND field = nullptr;
  if (!waitUntil([&] { return (field = fileNameField(dialog)) != nullptr; }, 5s)) {
    std::string seen;
    for (HWND child : children(dialog)) seen += " " + className(child) + "#" + std::to_string(GetDlgCtrlID(child));
    throw std::runtime_error("the file dialog has no file name field:" + seen);
  }
  SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

bool trayHasIcon(HWND owner, UINT id) {
  NOTIFYICONDATAA record{};
  record.cbSize = NOTIFYICONDATAA_V1_SIZE;
  record.hWnd = owner;
  record.uID = id;
  return Shell_NotifyIconA(NIM_MODIFY, &record) != FALSE;
}

void postTrayNotification(HWND window, UINT mouseMessage, UINT callbackMessage) {
  PostMessageA(window, callbackMessage, 1, mouseMessage);
}

std::ostream& operator<<(std::ostream& out, BoxIcon icon) {
  static const char* const names[] = {"None", "Information", "Question", "Warning", "Error", "Unknown"};
  return out << names[static_cast<int>(icon)];
}

void MessageBoxView::press(const std::string& button) const {
  for (HWND child : children(window)) {
    if (_stricmp(className(child).c_str(), "Button") == 0 && windowText(child) == button) {
      click(child);
      // Gone before anything looks for the next box.
      waitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, 5s);
      return;
    }
  }
  throw std::runtime_error("the message box has no button " + button);
}

namespace {

// A message box is a dialog of static texts and buttons only.
bool isMessageBox(HWND window) {
  if (className(window) != "#32770" || !IsWindowVisible(window)) return false;
  bool hasButton = false;
  for (HWND child : children(window)) {
    std::string cls = className(child);
    if (_stricmp(cls.c_str(), "Button") == 0)
      hasButton = true;
    else if (_stricmp(cls.c_str(), "Static") != 0)
      return false;
  }
  return hasButton;
}

}  // namespace

std::optional<MessageBoxView> findMessageBox(DWORD processId) {
  for (HWND w : topWindows(processId))
    if (isMessageBox(w)) return readMessageBox(w);
  return std::nullopt;
}

std::optional<MessageBoxView> waitForMessageBox(DWORD processId, Duration timeout) {
  std::optional<MessageBoxView> box;
  waitUntil([&] { return (box = findMessageBox(processId)).has_value(); }, timeout);
  // Let it finish drawing before its icon is read from the screen.
  if (box) {
    pumpFor(200ms);
    box = readMessageBox(box->window);
  }
  return box;
}

}  // namespace e2e
