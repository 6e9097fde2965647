// Windows of another process: their texts, list views, menus, file dialogs and the tray.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "e2e/driver.h"

namespace e2e {
namespace {

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

// Wine starts Unix programs too; xdotool ends once the X server has the events.
void xdotool(const std::string& arguments) {
  Process::start("Z:\\usr\\bin\\xdotool", arguments).waitForExit(10s);
}

LPARAM rowPoint(HWND listView, int row) {
  RemoteBuffer remote(listView, sizeof(RECT));
  remote.write(0, RECT{LVIR_LABEL, 0, 0, 0});
  SendMessageA(listView, LVM_GETITEMRECT, static_cast<WPARAM>(row), remote.at(0));
  const RECT r = remote.read<RECT>(0);
  return MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

}  // namespace

bool hasClass(HWND window, const char* windowClass) {
  return _stricmp(className(window).c_str(), windowClass) == 0;
}

std::vector<HWND> children(HWND parent) {
  std::vector<HWND> out;
  EnumChildWindows(
      parent, [](HWND w, LPARAM p) { return reinterpret_cast<std::vector<HWND>*>(p)->push_back(w), TRUE; },
      reinterpret_cast<LPARAM>(&out));
  return out;
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

void pressKeys(const std::string& keys) { xdotool("key " + keys); }

void clickOn(HWND window, int clicks) {
  RECT r{};
  GetWindowRect(window, &r);
  // The desktop's coordinates are those of the X screen.
  xdotool("mousemove " + std::to_string((r.left + r.right) / 2) + " " +
          std::to_string((r.top + r.bottom) / 2) + " click --repeat " + std::to_string(clicks) + " 1");
}

HWND focusedWindow() {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(0, &info) ? info.hwndFocus : nullptr;
}

int buttonsDrawnAsDefault(HWND dialog) {
  const auto all = children(dialog);
  return static_cast<int>(std::count_if(all.begin(), all.end(), [](HWND c) {
    return hasClass(c, "Button") && (GetWindowLongA(c, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
  }));
}

bool click(HWND button) {
  if (!IsWindowEnabled(button) || !IsWindowVisible(button)) return false;
  PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
  return true;
}

void toggle(HWND checkBox) { PostMessageA(checkBox, BM_CLICK, 0, 0); }

void setText(HWND control, const std::string& text) {
  SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

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

int focusedListRow(HWND listView) {
  return static_cast<int>(SendMessageA(listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
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
  // Home first: an item under the pointer may be chosen already.
  for (int i = -1; i <= index; ++i)
    PostMessageA(menu, WM_KEYDOWN, i < 0 ? VK_HOME : i < index ? VK_DOWN : VK_RETURN, 0);
}

void chooseFile(HWND dialog, const std::string& path) {
  // The file name field: an edit of its own, or the one in the file name combo box.
  HWND field = nullptr;
  waitUntil(
      [&] {
        field = GetDlgItem(dialog, 0x480);
        if (!field) field = FindWindowExA(GetDlgItem(dialog, 0x47C), nullptr, "Edit", nullptr);
        for (HWND child : children(dialog))
          if (!field && hasClass(child, "Edit") && IsWindowVisible(child)) field = child;
        return field != nullptr;
      },
      5s);
  if (!field) throw std::runtime_error("the file dialog has no file name field");
  setText(field, path);
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

bool trayHasIcon(HWND owner) {
  NOTIFYICONDATAA record{};
  record.cbSize = NOTIFYICONDATAA_V1_SIZE;
  record.hWnd = owner;
  record.uID = 1;
  return Shell_NotifyIconA(NIM_MODIFY, &record) != FALSE;
}

void postTrayNotification(HWND window, UINT mouseMessage) {
  PostMessageA(window, WM_MOUSEMOVE, 1, mouseMessage);
}

}  // namespace e2e
