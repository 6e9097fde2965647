#pragma once
// End-to-end driver: runs the utility from a fresh application folder and
// works its windows from outside, as a user would, through window messages.
// Every process a test starts is ended when its owner goes out of scope.
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

// The folder the build writes the utility and its companions into.
std::string builtAppFolder();

// Lets the test thread's own windows receive what other processes send them.
void pump();
// Pumps until `done` is true or the time is up; returns `done()`.
bool waitUntil(const std::function<bool()>& done, Duration timeout = 10s);
void pumpFor(Duration time);

using support::TempFolder;

// A fresh copy of the built application folder.
// Without the service installer unless asked: a utility started there then
// cannot install the engine service, and every test but those of the service
// leaves the machine's services alone. The engine programs still running
// from it are ended with it.
class AppFolder : public TempFolder {
 public:
  explicit AppFolder(bool withServiceInstaller = false);
  ~AppFolder();
  std::string utility() const { return file("BrennixConfig.exe"); }
};

// The full path of a process's program, or the empty text.
std::string imageOf(DWORD processId);
// Ends every process whose program lies in this folder.
void endProcessesFrom(const std::string& folder);
// How many processes run a program of this file name (any letter case);
// ends them all, and says how many there were.
int processesNamed(const std::string& name);
int endProcessesNamed(const std::string& name);

// The engine service "BrennixMonitor" as the Service Control Manager has
// it: its state (0 when there is no such service) and its process.
SERVICE_STATUS_PROCESS engineServiceStatus();
bool engineServiceReaches(DWORD state, Duration timeout = 20s);
// Stops and deletes the engine service, left by an earlier run or a failed
// test; for the life of a scope, at its start and its end.
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
  Process& operator=(Process&&) = default;
  ~Process();

  // Starts `program` with the given argument text; throws on failure.
  static Process start(const std::string& program, const std::string& arguments = "");

  DWORD id() const { return id_; }
  HANDLE handle() const { return handle_.get(); }
  bool running() const;
  // Waits (pumping) for the end; true when it ended in time.
  bool waitForExit(Duration timeout = 10s) const;
  DWORD exitCode() const;
  void kill();

 private:
  win::unique_handle handle_;
  DWORD id_ = 0;
};

std::string windowText(HWND window);
// True when a control on screen shows a line under its text.
bool drawnUnderlined(HWND control);
std::string className(HWND window);
DWORD processOf(HWND window);

// Top-level windows of a process (hidden ones too).
std::vector<HWND> topWindows(DWORD processId);
// The first top-level window of the process with this class and/or exact
// title (an empty string matches any); nullptr when there is none.
HWND findTopWindow(DWORD processId, const std::string& windowClass, const std::string& title);
HWND waitForTopWindow(DWORD processId, const std::string& windowClass, const std::string& title,
                      Duration timeout = 10s);

// Clicks a button without waiting for what the click opens, as a user can:
// only an enabled, visible one. False when it cannot be pressed.
bool click(HWND button);
// Clicks a check box as the mouse does, so that it toggles.
void toggle(HWND checkBox);

// List views of another process.
int listRowCount(HWND listView);
std::string listCell(HWND listView, int row, int column);
std::vector<std::vector<std::string>> listRows(HWND listView, int columns);
std::vector<std::string> listHeaders(HWND listView);
void selectListRow(HWND listView, int row);
int selectedListRow(HWND listView);
// Mouse clicks on a row, as the user makes them (posted); the right button
// pressed only.
void doubleClickListRow(HWND listView, int row);
void rightPressListRow(HWND listView, int row);

// The open pop-up menu of a process (nullptr when none is open), and a key
// typed into it ('R' picks "&Refresh").
HWND findPopupMenu(DWORD processId);
void typeIntoMenu(HWND menu, char key);
// Picks the menu's item at `index` (from 0) with the arrow keys and Enter.
void chooseMenuItem(HWND menu, int index);

// Fills in the file name of an open-file dialog and presses Open.
void chooseFile(HWND dialog, const std::string& path);

// True when the tray holds an icon of this window and id: the tray accepts
// an empty change only for an icon it has.
bool trayHasIcon(HWND owner, UINT id = 1);

// The shell's notification of a mouse event over the tray icon (id 1).
void postTrayNotification(HWND window, UINT mouseMessage, UINT callbackMessage = WM_MOUSEMOVE);

enum class BoxIcon { None, Information, Question, Warning, Error, Unknown };
std::ostream& operator<<(std::ostream& out, BoxIcon icon);

// A message box of another process, as it is on screen.
struct MessageBoxView {
  HWND window = nullptr;
  std::string caption;
  std::string text;
  BoxIcon icon = BoxIcon::None;
  std::vector<std::string> buttons;  // captions, in the box's order

  // Presses the button with this caption ("OK", "&Yes", ...).
  void press(const std::string& button) const;
};

std::optional<MessageBoxView> findMessageBox(DWORD processId);
std::optional<MessageBoxView> waitForMessageBox(DWORD processId, Duration timeout = 10s);

}  // namespace e2e
