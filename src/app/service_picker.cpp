#include "app/service_picker.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>

#include "app/item_store.h"
#include "base/generic_order.h"
#include "base/text.h"
#include "formats/item_file.h"
#include "ui/dialog_focus.h"
#include "ui/grid.h"
#include "ui/message_box.h"
#include "ui/resource.h"
#include "ui/wait_cursor.h"

namespace app {
namespace {
constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kTimer1Interval = 300;

std::string nameCell(const win::ServiceEntry& service) { return " " + service.displayName; }
}  // namespace

std::vector<win::ServiceEntry> pickerOrder(std::vector<win::ServiceEntry> services) {
  std::stable_sort(services.begin(), services.end(),
                   [](const auto& a, const auto& b) { return base::genericLess(nameCell(a), nameCell(b)); });
  return services;
}

ServicePicker::ServicePicker(std::string folder, std::function<void()> itemAdded)
    : folder_(std::move(folder)), itemAdded_(std::move(itemAdded)) {}

void ServicePicker::show(HWND owner, const std::string& folder, std::function<void()> itemAdded) {
  ServicePicker dialog(folder, std::move(itemAdded));
  ui::runModal(owner, IDD_SERVICE_PICKER, dialog);
}

INT_PTR ServicePicker::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      Form_Load();
      return TRUE;
    case WM_TIMER:
      if (wParam == kTimer1) Timer1_Timer();
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_PICKER_OK:
          cmdok_Click();
          return TRUE;
        case IDC_PICKER_CANCEL:
        case IDCANCEL:  // the title-bar close button and Esc
          cmdcancel_Click();
          return TRUE;
      }
      break;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (auto answer = grid_.answer(*header)) {
        SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, *answer);
        return TRUE;
      }
      if (header->idFrom == IDC_SERVICE_GRID && header->code == NM_DBLCLK) {
        cmdok_Click();  // a double-click in the grid is OK
        return TRUE;
      }
      break;
    }
  }
  return FALSE;
}

void ServicePicker::Form_Load() {
  ui::keepDefaultBorderWithFocus(hwnd_);
  grid_ = ui::Grid(GetDlgItem(hwnd_, IDC_SERVICE_GRID));
  grid_.setUp({"", "Service Name", "Service Status"});
  grid_.setDesignedWidths({0.6, 0.2});
  // The list is filled once the dialog is on screen.
  SetTimer(hwnd_, kTimer1, kTimer1Interval, nullptr);
}

void ServicePicker::Timer1_Timer() {
  if (loading_) return;
  loading_ = true;
  loadservices();
  loading_ = false;
  KillTimer(hwnd_, kTimer1);
}

// The services are sorted by name before they go in, after the empty row,
// which sorts first.
void ServicePicker::loadservices() {
  ui::WaitCursor hourglass;
  win::ServiceListing listing = win::listServices();
  if (listing.listed) {
    services_ = pickerOrder(std::move(listing.services));
    std::vector<ui::Grid::Row> rows{ui::Grid::Row{{"", "", ""}}};
    for (std::size_t i = 0; i < services_.size(); ++i)
      rows.push_back({{"", nameCell(services_[i]), " " + win::serviceStateName(services_[i].currentState)},
                      static_cast<LPARAM>(i)});
    grid_.showRows(std::move(rows));
  } else {
    ui::showNotice(hwnd_, kServiceListFailure + std::to_string(listing.error));
  }
  // The sort step: the grid hidden meanwhile, and no row chosen after it.
  ShowWindow(grid_.handle(), SW_HIDE);
  grid_.clearSelection();
  ShowWindow(grid_.handle(), SW_SHOW);
  // Hiding took the keyboard focus from the list: it gets it back, so that
  // the arrow keys choose a service.
  SetFocus(grid_.handle());
}

void ServicePicker::cmdok_Click() {
  const int row = grid_.selectedRow();
  const LPARAM entry = row < 0 ? ui::Grid::kNoData : grid_.rowData(row);
  const std::string name =
      entry < 0 || static_cast<std::size_t>(entry) >= services_.size()
          ? std::string{}
          : std::string(base::trimBlanks(services_[static_cast<std::size_t>(entry)].displayName));
  if (name.size() < 2) {
    ui::showNotice(hwnd_, kSelectServiceMessage);
    return;
  }
  try {
    if (checkforduplicateProcess(folder_, name)) {
      ui::showNotice(hwnd_, kServiceMonitoredMessage);
      return;
    }
    if (formats::itemFileIsFull(formats::itemFilePath(folder_))) {
      ui::showNotice(hwnd_, kListFullMessage);
      return;
    }
    formats::appendItem(formats::itemFilePath(folder_), name, formats::kServiceMarker);
  } catch (const std::exception& e) {
    // A file that cannot be read or appended to: say why; the dialog stays.
    ui::showError(hwnd_, e);
    return;
  }
  if (itemAdded_) itemAdded_();
  EndDialog(hwnd_, IDOK);
}

void ServicePicker::cmdcancel_Click() { EndDialog(hwnd_, IDCANCEL); }

}  // namespace app
