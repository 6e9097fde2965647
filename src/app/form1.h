#pragma once
// The main window "Configure Brennix Monitor": a dialog of its own window
// class, with one window procedure that hands each event to its handler.
#include <windows.h>

#include <string>

#include "items/item_file.h"

namespace app {

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

 private:
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);

  void Form_Load();
  void Form_QueryUnload();

  HINSTANCE instance_;
  std::string arguments_;
  std::string folder_;  // the application folder
  HWND hwnd_ = nullptr;

  items::ItemTable itemSlots;
};

}  // namespace app
