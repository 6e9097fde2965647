#include "e2e/driver.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <stdexcept>

#include "win/process_list.h"

namespace e2e {
namespace {

bool is(HWND window, const char* windowClass) {
  return _stricmp(className(window).c_str(), windowClass) == 0;
}

std::vector<HWND> children(HWND parent) {
  std::vector<HWND> out;
  EnumChildWindows(
      parent, [](HWND w, LPARAM p) { return reinterpret_cast<std::vector<HWND>*>(p)->push_back(w), TRUE; },
      reinterpret_cast<LPARAM>(&out));
  return out;
}

// Pixels: message-box icons (their handles are per process under Wine) and underlines.
struct Pixels {
  int width = 0, height = 0;
  std::vector<COLORREF> data;
  COLORREF at(int x, int y) const { return data[static_cast<std::size_t>(y) * width + x]; }
};

// The pixels of a rectangle of `source`, or of `icon` drawn on `background`.
Pixels grab(HDC source, int x, int y, int width, int height, HICON icon = nullptr, COLORREF background = 0) {
  Pixels p{width, height, {}};
  HDC memory = CreateCompatibleDC(source);
  HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  if (icon) {
    RECT all{0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(background);
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    DrawIconEx(memory, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
  } else {
    BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
  }
  for (int yy = 0; yy < height; ++yy)
    for (int xx = 0; xx < width; ++xx) p.data.push_back(GetPixel(memory, xx, yy));
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  return p;
}

Pixels onScreen(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  HDC screen = GetDC(nullptr);
  Pixels p = grab(screen, r.left, r.top, r.right - r.left, r.bottom - r.top);
  ReleaseDC(nullptr, screen);
  return p;
}

// The standard icon that, drawn on the box's background, looks as shown.
BoxIcon identifyIcon(HWND iconControl) {
  if (!iconControl || !IsWindowVisible(iconControl) || !SendMessageA(iconControl, STM_GETICON, 0, 0))
    return BoxIcon::None;
  const Pixels shown = onScreen(iconControl);
  const std::pair<BoxIcon, LPCSTR> candidates[] = {{BoxIcon::Information, IDI_INFORMATION},
                                                   {BoxIcon::Question, IDI_QUESTION},
                                                   {BoxIcon::Warning, IDI_WARNING},
                                                   {BoxIcon::Error, IDI_ERROR}};
  HDC screen = GetDC(nullptr);
  BoxIcon best = BoxIcon::Unknown;
  std::size_t fewest = shown.data.size() / 20 + 1;  // at most 5 % of the pixels may differ
  for (const auto& [kind, id] : candidates) {
    const Pixels drawn =
        grab(screen, 0, 0, shown.width, shown.height, LoadIconA(nullptr, id), shown.at(0, 0));
    std::size_t differ = 0;
    for (std::size_t i = 0; i < drawn.data.size(); ++i) differ += drawn.data[i] != shown.data[i];
    if (differ < fewest) fewest = differ, best = kind;
  }
  ReleaseDC(nullptr, screen);
  return best;
}

MessageBoxView readMessageBox(HWND box) {
  MessageBoxView view{box, windowText(box), {}, BoxIcon::None, {}};
  HWND iconControl = nullptr;
  for (HWND child : children(box)) {
    if (is(child, "Static")) {
      if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
        iconControl = child;
      else if (std::string t = windowText(child); !t.empty())
        view.text = t;
    } else if (is(child, "Button") && IsWindowVisible(child)) {
      view.buttons.push_back(windowText(child));
    }
  }
  view.icon = identifyIcon(iconControl);
  return view;
}

// A message box is a dialog of static texts and buttons only.
bool isMessageBox(HWND window) {
  if (className(window) != "#32770" || !IsWindowVisible(window)) return false;
  bool hasButton = false;
  for (HWND child : children(window)) {
    if (is(child, "Button"))
      hasButton = true;
    else if (!is(child, "Static"))
      return false;
  }
  return hasButton;
}

// Memory in another process, for messages whose arguments are pointers.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND window, std::size_t size)
      : process_(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                             processOf(window))) {
    if (process_)
      base_ = static_cast<char*>(VirtualAllocEx(process_.get(), nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    if (!base_) throw std::runtime_error("cannot reach the window's process");
  }
  ~RemoteBuffer() { VirtualFreeEx(process_.get(), base_, 0, MEM_RELEASE); }

  LPARAM at(std::size_t offset) const { return reinterpret_cast<LPARAM>(base_ + offset); }
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
};

constexpr std::size_t kTextRoom = 4096;

LPARAM rowPoint(HWND listView, int row) {
  RemoteBuffer remote(listView, sizeof(RECT));
  remote.write(0, RECT{LVIR_LABEL, 0, 0, 0});
  SendMessageA(listView, LVM_GETITEMRECT, static_cast<WPARAM>(row), remote.at(0));
  const RECT r = remote.read<RECT>(0);
  return MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

void copyFolder(const std::string& from, const std::string& to, const char* except) {
  WIN32_FIND_DATAA data{};
  win::unique_find search(FindFirstFileA((from + "\\*").c_str(), &data));
  if (!search) throw std::runtime_error("cannot read " + from);
  do {
    const std::string name = data.cFileName;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || _stricmp(name.c_str(), except) == 0) continue;
    if (!CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE))
      throw std::runtime_error("cannot copy " + name);
  } while (FindNextFileA(search.get(), &data));
}

// The processes that `match` the program's file name or full path; ended when asked.
std::vector<DWORD> forProcesses(const std::function<bool(const PROCESSENTRY32&)>& match, bool end) {
  std::vector<DWORD> ids;
  win::forEachProcess([&](const PROCESSENTRY32& p) {
    if (!match(p)) return true;
    ids.push_back(p.th32ProcessID);
    win::unique_handle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, p.th32ProcessID));
    if (end && process && TerminateProcess(process.get(), 1)) WaitForSingleObject(process.get(), 5000);
    return true;
  });
  return ids;
}
std::vector<DWORD> forProcessesNamed(const std::string& name, bool end) {
  return forProcesses([&](const PROCESSENTRY32& p) { return _stricmp(p.szExeFile, name.c_str()) == 0; }, end);
}

win::unique_schandle openEngineService(DWORD access) {
  win::unique_schandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  return win::unique_schandle(OpenServiceA(manager.get(), "BrennixMonitor", access));
}

}  // namespace

std::string builtAppFolder() {
  std::string folder = BRENNIX_APP_DIR;
  if (!folder.empty() && folder[0] == '/') folder = "Z:" + folder;  // a Unix path under Wine
  std::replace(folder.begin(), folder.end(), '/', '\\');
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
  const auto end = std::chrono::steady_clock::now() + timeout;
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
  forProcesses(
      [&](const PROCESSENTRY32& p) {
        return _strnicmp(imageOf(p.th32ProcessID).c_str(), (folder + "\\").c_str(), folder.size() + 1) == 0;
      },
      true);
}

std::vector<DWORD> processIdsNamed(const std::string& name) { return forProcessesNamed(name, false); }
int processesNamed(const std::string& name) {
  return static_cast<int>(forProcessesNamed(name, false).size());
}
int endProcessesNamed(const std::string& name) {
  return static_cast<int>(forProcessesNamed(name, true).size());
}

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

Process Process::start(const std::string& program, const std::string& arguments) {
  std::string commandLine = "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi))
    throw std::runtime_error("cannot start " + program + ": error " + std::to_string(GetLastError()));
  win::unique_handle thread(pi.hThread);
  Process p;
  p.handle_.reset(pi.hProcess);
  p.id_ = pi.dwProcessId;
  return p;
}

bool Process::running() const { return handle_ && WaitForSingleObject(handle_.get(), 0) == WAIT_TIMEOUT; }

bool Process::waitForExit(Duration timeout) const {
  return waitUntil([this] { return !running(); }, timeout);
}

DWORD Process::exitCode() const {
  DWORD code = 0;
  GetExitCodeProcess(handle_.get(), &code);
  return code;
}

void Process::kill() {
  if (!running()) return;
  TerminateProcess(handle_.get(), 1);
  WaitForSingleObject(handle_.get(), 5000);
}

std::string windowText(HWND window) {
  // WM_GETTEXT, not GetWindowText: only the message reads the text of
  // another process's controls (edit fields included).
  DWORD_PTR length = 0, copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) return {};
  std::string text(length + 1, '\0');
  SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                      SMTO_ABORTIFHUNG, 2000, &copied);
  text.resize(std::min<std::size_t>(copied, length));
  return text;
}

bool drawnUnderlined(HWND control) {
  const Pixels p = onScreen(control);
  if (p.width == 0 || p.height == 0) return false;
  const COLORREF background = p.at(p.width - 1, 0);
  int left = p.width, right = -1;
  std::vector<int> ink(static_cast<std::size_t>(p.height));
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      if (p.at(x, y) != background)
        ++ink[static_cast<std::size_t>(y)], left = std::min(left, x), right = std::max(right, x);
  // A line under the text covers nearly every column that has ink.
  return right >= left &&
         std::any_of(ink.begin(), ink.end(), [&](int n) { return n * 10 >= (right - left + 1) * 9; });
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
  std::pair<DWORD, std::vector<HWND>> state{processId, {}};
  EnumWindows(
      [](HWND w, LPARAM p) {
        auto* s = reinterpret_cast<decltype(state)*>(p);
        if (processOf(w) == s->first) s->second.push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&state));
  return state.second;
}

HWND findTopWindow(DWORD processId, const std::string& windowClass, const std::string& title) {
  for (HWND w : topWindows(processId))
    if ((windowClass.empty() || className(w) == windowClass) && (title.empty() || windowText(w) == title))
      return w;
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

int listRowCount(HWND listView) { return static_cast<int>(SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0)); }

namespace {
std::string listCell(HWND listView, int row, int column) {
  RemoteBuffer remote(listView, sizeof(LVITEMA) + kTextRoom);
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = reinterpret_cast<char*>(remote.at(sizeof(LVITEMA)));
  item.cchTextMax = kTextRoom;
  remote.write(0, item);
  SendMessageA(listView, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), remote.at(0));
  return remote.readText(sizeof(LVITEMA), kTextRoom);
}
}  // namespace

std::vector<std::vector<std::string>> listRows(HWND listView, int columns) {
  std::vector<std::vector<std::string>> rows(static_cast<std::size_t>(listRowCount(listView)));
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (int c = 0; c < columns; ++c) rows[r].push_back(listCell(listView, static_cast<int>(r), c));
  return rows;
}

void selectListRow(HWND listView, int row) {
  RemoteBuffer remote(listView, sizeof(LVITEMA));
  LVITEMA item{};
  item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
  remote.write(0, item);
  SendMessageA(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(row), remote.at(0));
}

int selectedListRow(HWND listView) {
  return static_cast<int>(SendMessageA(listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void doubleClickListRow(HWND listView, int row) {
  const LPARAM at = rowPoint(listView, row);
  for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
    PostMessageA(listView, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, at);
}

void rightPressListRow(HWND listView, int row) {
  PostMessageA(listView, WM_RBUTTONDOWN, MK_RBUTTON, rowPoint(listView, row));
}

HWND findPopupMenu(DWORD processId) {
  for (HWND w : topWindows(processId))
    if (className(w) == "#32768" && IsWindowVisible(w)) return w;
  return nullptr;
}

void chooseMenuItem(HWND menu, int index) {
  for (int i = 0; i <= index + 1; ++i) {
    const WPARAM key = i <= index ? VK_DOWN : VK_RETURN;
    PostMessageA(menu, WM_KEYDOWN, key, 0);
    PostMessageA(menu, WM_KEYUP, key, 0);
  }
}

void chooseFile(HWND dialog, const std::string& path) {
  // The file name field: an edit of its own, or the one in the file name combo box.
  HWND field = nullptr;
  waitUntil(
      [&] {
        field = GetDlgItem(dialog, 0x480);
        if (!field) field = FindWindowExA(GetDlgItem(dialog, 0x47C), nullptr, "Edit", nullptr);
        for (HWND child : children(dialog))
          if (!field && is(child, "Edit") && IsWindowVisible(child)) field = child;
        return field != nullptr;
      },
      5s);
  if (!field) throw std::runtime_error("the file dialog has no file name field");
  SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
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
    if (is(child, "Button") && windowText(child) == button) {
      click(child);
      // Gone before anything looks for the next box.
      waitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, 5s);
      return;
    }
  }
  throw std::runtime_error("the message box has no button " + button);
}

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
