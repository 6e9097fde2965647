#pragma once
// The utility under test, started from an application folder.
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "ui/resource.h"

namespace e2e {

inline constexpr char kMainTitle[] = "Configure Brennix Monitor";
inline constexpr char kMainClass[] = "BrennixConfigMainWindow";
inline constexpr char kExampleItems[] =
    " \r\nexample.exe|C:\\Tools\\example.exe\r\nPrint Spooler|[Windows Service]\r\n";

using Rows = std::vector<std::vector<std::string>>;
inline const std::vector<std::string> kEmptyRow = {"", "", "", ""};

// Waits for a message box of the process, expects its text (a text ending
// in "*" is a beginning) and icon, and presses `button`. False when none came.
bool answerBox(DWORD processId, const std::string& text, BoxIcon icon, const std::string& button = "OK");

class Utility {
 public:
  // Waits for its main window and, with `settled`, its first grid and its first status refresh, which
  // runs a batch file (pumping the window's events in the middle of whatever the test does next).
  explicit Utility(const AppFolder& app, const std::string& arguments = "", bool settled = true);
  ~Utility();  // closes it as Windows does, or ends it by force
  Utility(const Utility&) = delete;
  Utility& operator=(const Utility&) = delete;

  DWORD id() const { return process.id(); }
  HWND control(int id) const { return GetDlgItem(main, id); }
  HWND grid() const { return control(IDC_ITEM_GRID); }
  Rows gridRows() const { return listRows(grid(), 4); }
  Rows waitForRows(const Rows& rows, Duration timeout = 10s) const;
  int rowNamed(const std::string& name) const;
  // Presses the button and waits for the dialog with this title to show; nullptr when none does.
  HWND openDialog(int button, const std::string& title) const;

  Process process;
  HWND main = nullptr;
};

}  // namespace e2e
