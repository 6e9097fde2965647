#pragma once
// End-to-end driver: runs the utility from a fresh application folder and
// works its windows from outside, as a user would: with real key presses and clicks, or messages.
#include <windows.h>

#include <chrono>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_folder.h"
#include "win/unique_resource.h"

namespace e2e {

using namespace std::chrono_literals;
using Duration = std::chrono::milliseconds;
using support::TempFolder;

std::string builtAppFolder();  // where the build writes the utility and its companions
void pump();                   // runs the test thread's own window events
bool waitUntil(const std::function<bool()>& done, Duration timeout = 10s);
void pumpFor(Duration time);

// A fresh copy of the built application folder, without the service installer unless asked
// (so a utility there cannot install the engine service); what still runs from it ends with it.
class AppFolder : public TempFolder {
 public:
  explicit AppFolder(bool withServiceInstaller = false);
  ~AppFolder();
  std::string utility() const { return file("BrennixConfig.exe"); }
};

// Processes by program file name (any letter case), or by folder: ended.
std::string imageOf(DWORD processId);  // the full path of its program, or ""
std::vector<DWORD> processIdsNamed(const std::string& name);
int processesNamed(const std::string& name);
int endProcessesNamed(const std::string& name);  // how many there were
void endProcessesFrom(const std::string& folder);

// The engine service "BrennixMonitor": its state (0 when there is none) and
// process; removed at the start and the end of an EngineServiceRemover's life.
SERVICE_STATUS_PROCESS engineServiceStatus();
bool engineServiceReaches(DWORD state, Duration timeout = 20s);
void removeEngineService();
struct EngineServiceRemover {
  EngineServiceRemover() { removeEngineService(); }
  ~EngineServiceRemover() { removeEngineService(); }
};

// A started process; ended (if still running) when destroyed.
class Process {
 public:
  Process() = default;
  Process(Process&&) = default;
  ~Process() { kill(); }
  static Process start(const std::string& program, const std::string& arguments = "");  // throws
  DWORD id() const { return id_; }
  HANDLE handle() const { return handle_.get(); }
  bool running() const;
  bool waitForExit(Duration timeout = 10s) const;
  DWORD exitCode() const;
  void kill();

 private:
  win::unique_handle handle_;
  DWORD id_ = 0;
};

// Windows of another process.
std::string windowText(HWND window);
std::string className(HWND window);
bool hasClass(HWND window, const char* windowClass);
std::vector<HWND> children(HWND parent);
DWORD processOf(HWND window);
std::vector<HWND> topWindows(DWORD processId);  // hidden ones too
// The first top-level window of the process with this class and exact title (an empty text matches any).
HWND findTopWindow(DWORD processId, const std::string& windowClass, const std::string& title);
HWND waitForTopWindow(DWORD processId, const std::string& windowClass, const std::string& title,
                      Duration timeout = 10s);

int buttonsDrawnAsDefault(HWND dialog);  // push buttons with the default border
// Real input on the X display (xdotool), which reaches a program through its own message loop, as a
// user's does: keys one after the other by their X names, "+" joining keys held together ("Escape",
// "shift+F10 Menu", "alt+F4", "n"); clicks of the left button at the centre of a window.
void pressKeys(const std::string& keys);
void clickOn(HWND window, int clicks = 1);
HWND focusedWindow();  // the keyboard focus of the desktop's foreground thread, or nullptr

// Presses a button as a user can: only an enabled, visible one.
bool click(HWND button);
void toggle(HWND checkBox);  // as the mouse does
void setText(HWND control, const std::string& text);

// List views of another process; the mouse on a row, as a user uses it.
int listRowCount(HWND listView);
std::vector<std::vector<std::string>> listRows(HWND listView, int columns);
void selectListRow(HWND listView, int row);
int selectedListRow(HWND listView);
int focusedListRow(HWND listView);  // the row with the focus mark, -1 when none has it
void doubleClickListRow(HWND listView, int row);
void rightPressListRow(HWND listView, int row);  // the press only

HWND findPopupMenu(DWORD processId);  // the open pop-up menu, or nullptr
// With keys posted to the menu itself: under Wine, real ones did not reach the tray's menu while the
// main window was hidden.
void chooseMenuItem(HWND menu, int index);
void chooseFile(HWND dialog, const std::string& path);  // in an open-file dialog

// The tray holds the window's icon (it accepts an empty change only for an
// icon it has); the shell's notification of a mouse event on it.
bool trayHasIcon(HWND owner);
void postTrayNotification(HWND window, UINT mouseMessage);

// What the screen shows.
bool drawnUnderlined(HWND control);    // a control on screen shows a line under its text
bool captionDrawnActive(HWND window);  // its title bar shows the active colours

enum class BoxIcon { None, Information, Question, Warning, Error, Unknown };
std::ostream& operator<<(std::ostream& out, BoxIcon icon);

// A message box of another process, as it is on screen.
struct MessageBoxView {
  HWND window = nullptr;
  std::string caption;
  std::string text;
  BoxIcon icon = BoxIcon::None;
  std::vector<std::string> buttons;             // captions, in the box's order
  void press(const std::string& button) const;  // "OK", "&Yes", ...; waits for the box to go
};
std::optional<MessageBoxView> findMessageBox(DWORD processId);
std::optional<MessageBoxView> waitForMessageBox(DWORD processId, Duration timeout = 10s);

}  // namespace e2e
