#include "items/frm_services.h"

#include <commctrl.h>

#include <cmath>
#include <system_error>

#include "app/resource.h"
#include "base/message_box.h"
#include "base/modal_dialog.h"
#include "base/text.h"
#include "base/wait_cursor.h"
#include "engine/list_services_api.h"
#include "items/grid.h"
#include "items/grid_order.h"
#include "items/item_file.h"
#include "items/item_store.h"

namespace items {
namespace {
constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kTimer1Interval = 300;
}  // namespace

frmServices::frmServices(std::string folder, std::function<void()> itemAdded)
    : folder_(std::move(folder)), itemAdded_(std::move(itemAdded)) {}

void frmServices::show(HWND owner, const std::string& folder, std::function<void()> itemAdded) {
  frmServices dialog(folder, std::move(itemAdded));
  base::runModal(owner, IDD_FRMSERVICES, dialog);
}

INT_PTR frmServices::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      Form_Load();
      return TRUE;
    case WM_TIMER:
      if (wParam == kTimer1) Timer1_Timer();
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_CMDOK:
          cmdok_Click();
          return TRUE;
        case IDC_CMDCANCEL:
        case IDCANCEL:  // the title-bar close button and Esc
          cmdcancel_Click();
          return TRUE;
      }
      break;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (header->idFrom == IDC_SERVICEGRID && header->code == NM_DBLCLK) {
        cmdok_Click();  // a double-click in the grid is OK
        return TRUE;
      }
      break;
    }
  }
  return FALSE;
}

void frmServices::Form_Load() {
  Grid grid(GetDlgItem(hwnd_, IDC_SERVICEGRID));
  grid.setUp({"", "Service Name", "Service Status"});
  const double usable = grid.widthTwips() - 125;
  grid.setColumnWidthsTwips({1, static_cast<int>(std::lround(usable * 0.6)),
                             static_cast<int>(std::lround(usable * 0.2))});
  // The list is filled once the dialog is on screen.
  SetTimer(hwnd_, kTimer1, kTimer1Interval, nullptr);
}

void frmServices::Timer1_Timer() {
  loadservices();
  KillTimer(hwnd_, kTimer1);
}

void frmServices::loadservices() {
  base::WaitCursor hourglass;
  Grid grid(GetDlgItem(hwnd_, IDC_SERVICEGRID));
  std::vector<engine::ServiceEntry> services;
  DWORD error = 0;
  if (engine::listServices(services, error)) {
    GridUpdate update(grid);
    grid.clear();
    grid.insertRow(0, {"", "", ""});
    for (const auto& s : services)
      grid.insertRow(grid.rowCount(), {"", " " + s.displayName, " " + engine::serviceStateName(s.currentState)});
  } else {
    base::showNotice(hwnd_, "Unable to get list of services " + std::to_string(error));
  }
  sortServices(1);
}

void frmServices::sortServices(short column) {
  Grid grid(GetDlgItem(hwnd_, IDC_SERVICEGRID));
  ShowWindow(grid.handle(), SW_HIDE);
  grid.sortRows(column, genericLess);
  grid.clearSelection();  // no service row is chosen yet
  ShowWindow(grid.handle(), SW_SHOW);
}

void frmServices::cmdok_Click() {
  Grid grid(GetDlgItem(hwnd_, IDC_SERVICEGRID));
  const int row = grid.selectedRow();
  const std::string name = row < 0 ? std::string{} : std::string(base::trimBlanks(grid.cell(row, 1)));
  if (name.size() < 2) {
    base::showNotice(hwnd_, kSelectServiceMessage);
    return;
  }
  try {
    if (checkforduplicateProcess(folder_, name)) {
      base::showNotice(hwnd_, kServiceMonitoredMessage);
      return;
    }
    appendItem(itemFilePath(folder_), name, kServiceMarker);
  } catch (const std::system_error& e) {
    // A file that cannot be read or appended to: say why; the dialog stays.
    base::showError(hwnd_, e.code().message());
    return;
  }
  if (itemAdded_) itemAdded_();
  EndDialog(hwnd_, IDOK);
}

void frmServices::cmdcancel_Click() { EndDialog(hwnd_, IDCANCEL); }

}  // namespace items
