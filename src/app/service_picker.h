#pragma once
// The service picker: lists the machine's services with their states and
// adds the chosen one to processes.ob as a service item.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/grid.h"
#include "ui/modal_dialog.h"
#include "win/services.h"

namespace app {

inline constexpr char kSelectServiceMessage[] = "Please select a service or click cancel to close";
inline constexpr char kServiceMonitoredMessage[] = "The selected service is already being monitored";
inline constexpr char kServiceListFailure[] = "Unable to get list of services ";

// The services in the order the picker shows them: by their name cell (a
// blank, then the display name) in the grids' generic ascending order.
std::vector<win::ServiceEntry> pickerOrder(std::vector<win::ServiceEntry> services);

class ServicePicker {
 public:
  // Shows the picker modally over `owner`. After a service has been added,
  // `itemAdded` runs (the main window rebuilds its grid from it).
  static void show(HWND owner, const std::string& folder, std::function<void()> itemAdded);

 private:
  ServicePicker(std::string folder, std::function<void()> itemAdded);
  template <class Dialog>
  friend INT_PTR ui::runModal(HWND, int, Dialog&);
  INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam);

  void Form_Load();
  void Timer1_Timer();
  void loadservices();
  void cmdok_Click();
  void cmdcancel_Click();

  HWND hwnd_ = nullptr;
  ui::Grid grid_;
  std::string folder_;
  std::function<void()> itemAdded_;
  std::vector<win::ServiceEntry> services_;  // in grid order; a row carries its place here
  bool loading_ = false;                     // a listing's message box runs timer ticks
};

}  // namespace app
