#pragma once
// The utility under test: started from an application folder, with its main
// window found and its grid read.
#include <string>
#include <vector>

#include "ui/resource.h"
#include "e2e/driver.h"

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
  // Starts the utility and waits for its main window; with `filled`, also
  // for the first rebuild of its grid.
  explicit Utility(const AppFolder& app, const std::string& arguments = "", bool filled = true);
  // Closes the utility as Windows does at the end of a session, which takes
  // its icon out of the tray; ends it by force when that does not work.
  ~Utility();
  Utility(const Utility&) = delete;
  Utility& operator=(const Utility&) = delete;

  DWORD id() const { return process.id(); }
  HWND control(int id) const { return GetDlgItem(main, id); }
  HWND grid() const { return control(IDC_ITEM_GRID); }
  Rows gridRows() const { return listRows(grid(), 4); }
  // Waits until the grid shows `rows`; returns what it shows at the end.
  Rows waitForRows(const Rows& rows, Duration timeout = 10s) const;
  // The row whose name cell is `name`, or -1.
  int rowNamed(const std::string& name) const;

  Process process;
  HWND main = nullptr;
};

}  // namespace e2e
