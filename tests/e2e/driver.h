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

#include "base/unique_resource.h"

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

// A new empty folder on the C: drive whose name holds blanks; removed with
// everything in it at the end.
class TempFolder {
 public:
  explicit TempFolder(const std::string& prefix = "Brennix Test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "\\" + name; }
  void write(const std::string& name, const std::string& bytes) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;

 private:
  std::string path_;
};

// A fresh copy of the built application folder.
class AppFolder : public TempFolder {
 public:
  AppFolder();
  std::string utility() const { return file("BrennixConfig.exe"); }
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
  base::unique_handle handle_;
  DWORD id_ = 0;
};

std::string windowText(HWND window);
std::string className(HWND window);
DWORD processOf(HWND window);

// Top-level windows of a process (hidden ones too).
std::vector<HWND> topWindows(DWORD processId);
// The first top-level window of the process with this class and/or exact
// title (an empty string matches any); nullptr when there is none.
HWND findTopWindow(DWORD processId, const std::string& windowClass, const std::string& title);
HWND waitForTopWindow(DWORD processId, const std::string& windowClass, const std::string& title,
                      Duration timeout = 10s);

// A child control by its id, or by its caption (exact, "&" included).
HWND control(HWND parent, int id);
HWND controlByCaption(HWND parent, const std::string& caption);

// Clicks a button without waiting for what the click opens.
void click(HWND button);

// List-view cells, read from another process.
int listRowCount(HWND listView);
std::string listCell(HWND listView, int row, int column);

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
