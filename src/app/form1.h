#pragma once
// The main window "Configure Brennix Monitor": a dialog of its own window
// class, with one window procedure that hands each event to its handler.
// It lives in the tray: closing or minimising it only hides it.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "engine/wmi_find_process.h"
#include "items/grid.h"
#include "items/item_file.h"
#include "base/unique_resource.h"
#include "settings/settings_file.h"

namespace app {

inline constexpr char kDuplicateProcessMessage[] = "Process already exists on the list to monitor";
inline constexpr char kSelectItemMessage[] = "You must first select an item to delete";
inline constexpr char kConfirmDeleteMessage[] =
    "Are you sure you would like to delete this item? You cannot undo this operation!";
inline constexpr char kDeleteFailedMessage[] = "Error: You must select and item";
inline constexpr UINT kTrayIconId = 1;

// Builds every tray record: the first, smallest ANSI form of the record,
// with the tip fitted into its 64-character field.
NOTIFYICONDATAA makeTrayRecord(HWND window, UINT id, UINT flags, UINT callbackMessage, HICON icon,
                               std::string_view tip);

class Form1 {
 public:
  Form1(HINSTANCE instance, std::string arguments);
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;
  ~Form1();

  // Creates the window, runs its load handler and shows it. False when the
  // window cannot be created.
  bool show();
  // Runs the message loop until the window is gone; returns the exit code.
  int run();

  HWND handle() const { return hwnd_; }
  const std::string& folder() const { return folder_; }

  // True when processes.ob already holds an item of this name.
  bool checkforduplicateProcess(const std::string& name) const;

 private:
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void onCommand(int id, int code);
  void onDrawItem(const DRAWITEMSTRUCT& item);
  bool isTrayNotification(WPARAM wParam, LPARAM lParam) const;

  void Form_Load();
  bool Form_QueryUnload(bool closedByUser);  // true: cancel the close
  void Form_Resize(WPARAM sizeType);
  void Form_MouseMove(LPARAM position);

  void loadProcesslist();
  void lprocessListTimer_Timer();
  void cmdAddnew_Click();
  void cmdDelete_Click();
  void cmdAddService_Click();
  void refreshTasklist_Click();
  void MSFlexGrid1_MouseDown();

  void addicontotaskbar();
  void deleteiconfromtaskbar();
  void minimizetimer_Timer();
  void mconfigure_Click();
  void mShutdown_Click();

  void loadSettings();
  void cmdExit_Click();
  void cmdbrowseWavFile_Click();
  void lblviewlog_Click();
  void cmdEmailsettings_Click();

  void enableTimer(UINT_PTR id, UINT interval);
  void disableTimer(UINT_PTR id);
  void showPopup(int menuId);

  HINSTANCE instance_;
  std::string arguments_;
  std::string folder_;  // the application folder
  HWND hwnd_ = nullptr;
  HICON icon_ = nullptr;
  bool closingFromSystemMenu_ = false;

  items::ItemTable itemSlots;
  items::Grid MSFlexGrid1;
  engine::ProcessFinder processFinder_;  // released before COM is left
  settings::SettingsTable settingsSlots;
  base::unique_gdi linkFont_;  // "View Log" drawn as a link
};

}  // namespace app
