#pragma once
// The service picker: lists the machine's services with their states and
// adds the chosen one to processes.ob as a service item.
#include <windows.h>

#include "base/modal_dialog.h"

#include <functional>
#include <string>

namespace items {

inline constexpr char kSelectServiceMessage[] = "Please select a service or click cancel to close";
inline constexpr char kServiceMonitoredMessage[] = "The selected service is already being monitored";

class frmServices {
 public:
  // Shows the picker modally over `owner`. After a service has been added,
  // `itemAdded` runs (the main window rebuilds its grid from it).
  static void show(HWND owner, const std::string& folder, std::function<void()> itemAdded);

 private:
  frmServices(std::string folder, std::function<void()> itemAdded);
  template <class Dialog>
  friend INT_PTR base::runModal(HWND, int, Dialog&);
  INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam);

  void Form_Load();
  void Timer1_Timer();
  void loadservices();
  void sortServices(short column);
  void cmdok_Click();
  void cmdcancel_Click();

  HWND hwnd_ = nullptr;
  std::string folder_;
  std::function<void()> itemAdded_;
};

}  // namespace items
