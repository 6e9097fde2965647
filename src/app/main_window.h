#pragma once
// The main window "Configure Brennix Monitor": a dialog of its own window
// class, with one window procedure that routes each event to the part of the
// window it belongs to. It lives in the tray: closing or minimising it only
// hides it.
#include <windows.h>

#include <memory>
#include <string>

#include "app/action_panel.h"
#include "app/engine_status_panel.h"
#include "app/item_list_panel.h"
#include "app/tray_icon.h"
#include "mail/send_mail.h"

namespace app {

// True when the command line asks to start hidden in the tray: the word
// "minimize" in any letter case as the whole argument text.
bool startsMinimized(const std::string& arguments);

class MainWindow {
 public:
  MainWindow(HINSTANCE instance, std::string arguments);
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;
  ~MainWindow();

  // Creates the window, runs its load handler and shows it. False when the
  // window cannot be created.
  bool show();
  // Runs the message loop until the window is gone; returns the exit code.
  int run();

 private:
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void onCommand(int id, int code);
  void onTimer(UINT_PTR id);

  void Form_Load();
  bool Form_QueryUnload(bool closedByUser);  // true: cancel the close
  void Form_Resize(WPARAM sizeType);
  void Form_MouseMove(LPARAM position);
  void minimizetimer_Timer();
  void mconfigure_Click();
  void mShutdown_Click();
  void poSendMail_SendFailed(const std::string& Explanation);
  void poSendMail_SendSuccesful();
  void poSendMail_Status(const std::string& Status);

  HINSTANCE instance_;
  std::string arguments_;
  std::string folder_;  // the application folder
  HWND hwnd_ = nullptr;
  bool closingFromSystemMenu_ = false;

  TrayIcon tray_;
  ItemListPanel items_;
  ActionPanel actions_;
  EngineStatusPanel status_;
  std::unique_ptr<mail::SendMail> poSendMail;  // made by the load handler, kept for every test
};

}  // namespace app
