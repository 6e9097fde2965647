#include "e2e/driver.h"

#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <ostream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace e2e {
namespace {

std::atomic<int> folderCounter{0};

void removeTree(const std::string& folder) {
  WIN32_FIND_DATAA data{};
  base::unique_find search(FindFirstFileA((folder + "\\*").c_str(), &data));
  if (search) {
    do {
      std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      std::string full = folder + "\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        removeTree(full);
      } else {
        SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(full.c_str());
      }
    } while (FindNextFileA(search.get(), &data));
  }
  search.reset();
  RemoveDirectoryA(folder.c_str());
}

void copyFolder(const std::string& from, const std::string& to) {
  WIN32_FIND_DATAA data{};
  base::unique_find search(FindFirstFileA((from + "\\*").c_str(), &data));
  if (!search) throw std::runtime_error("cannot read " + from);
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    std::string name = data.cFileName;
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

TempFolder::TempFolder(const std::string& prefix) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  path_ = std::string(temp) + prefix + " " + std::to_string(GetCurrentProcessId()) + "-" +
          std::to_string(folderCounter++);
  removeTree(path_);
  if (!CreateDirectoryA(path_.c_str(), nullptr)) throw std::runtime_error("cannot create " + path_);
}

TempFolder::~TempFolder() { removeTree(path_); }

AppFolder::AppFolder() : TempFolder("Brennix App") { copyFolder(builtAppFolder(), path()); }

void TempFolder::write(const std::string& name, const std::string& bytes) const {
  std::ofstream out(file(name), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + name);
}

std::string TempFolder::read(const std::string& name) const {
  std::ifstream in(file(name), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + name);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool TempFolder::exists(const std::string& name) const {
  return GetFileAttributesA(file(name).c_str()) != INVALID_FILE_ATTRIBUTES;
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
  int n = GetWindowTextLengthA(window);
  std::string text(static_cast<std::size_t>(n) + 1, '\0');
  n = GetWindowTextA(window, text.data(), n + 1);
  text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
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

HWND control(HWND parent, int id) { return GetDlgItem(parent, id); }

HWND controlByCaption(HWND parent, const std::string& caption) {
  for (HWND child : children(parent))
    if (windowText(child) == caption) return child;
  return nullptr;
}

void click(HWND button) {
  PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
}

int listRowCount(HWND listView) {
  return static_cast<int>(SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0));
}

std::string listCell(HWND listView, int row, int column) {
  base::unique_handle process(
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processOf(listView)));
  if (!process) throw std::runtime_error("cannot open the list view's process");
  constexpr std::size_t kText = 4096;
  const std::size_t size = sizeof(LVITEMA) + kText;
  auto* remote = static_cast<char*>(VirtualAllocEx(process.get(), nullptr, size, MEM_COMMIT, PAGE_READWRITE));
  if (!remote) throw std::runtime_error("cannot reserve memory in the list view's process");
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = remote + sizeof(LVITEMA);
  item.cchTextMax = kText;
  WriteProcessMemory(process.get(), remote, &item, sizeof item, nullptr);
  auto n = SendMessageA(listView, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote));
  std::string text(kText, '\0');
  ReadProcessMemory(process.get(), remote + sizeof(LVITEMA), text.data(), kText, nullptr);
  VirtualFreeEx(process.get(), remote, 0, MEM_RELEASE);
  text.resize(static_cast<std::size_t>(n));
  return text;
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
      return;
    }
  }
  throw std::runtime_error("the message box has no button " + button);
}

std::optional<MessageBoxView> findMessageBox(DWORD processId) {
  for (HWND w : topWindows(processId))
    if (className(w) == "#32770" && IsWindowVisible(w)) return readMessageBox(w);
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
