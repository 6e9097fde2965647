#include "app/item_list_panel.h"

#include <commctrl.h>

#include <optional>

#include "app/item_state.h"
#include "app/item_store.h"
#include "app/popup_menu.h"
#include "app/service_picker.h"
#include "ui/dialog_focus.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"
#include "ui/resource.h"
#include "ui/wait_cursor.h"
#include "win/files.h"
#include "win/services.h"

namespace app {
namespace {

constexpr UINT_PTR kLprocessListTimer = 1;
constexpr UINT kLprocessListInterval = 100;

const std::vector<std::string> kEmptyRow = {"", "", "", ""};

}  // namespace

void ItemListPanel::attach(HWND window) {
  window_ = window;
  grid_ = ui::Grid(GetDlgItem(window, IDC_ITEM_GRID));
  grid_.setUp({"", "", "", ""});
  SetWindowSubclass(grid_.handle(), gridProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK ItemListPanel::gridProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR self) {
  // Shift+F10 and the menu key ask with the position -1, -1; the mouse's
  // request after its press is passed over, as the press opened the menu.
  const bool fromKeyboard = message == WM_CONTEXTMENU && static_cast<short>(LOWORD(lParam)) == -1 &&
                            static_cast<short>(HIWORD(lParam)) == -1;
  if (message == WM_RBUTTONDOWN || fromKeyboard) {
    auto* panel = reinterpret_cast<ItemListPanel*>(self);
    try {
      if (fromKeyboard)
        showPopupMenu(panel->window_, IDR_GRID_MENU, panel->grid_.menuPoint());
      else
        panel->MSFlexGrid1_MouseDown();
    } catch (const std::exception& e) {
      ui::showError(panel->window_, e);
    }
    return 0;
  }
  if (message == WM_CONTEXTMENU) return 0;
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

// The index column in effect invisible, then 40 %, 40 % and 20 % of the
// usable width.
void ItemListPanel::setColumnWidths() { grid_.setDesignedWidths({0.4, 0.4, 0.2}); }

void ItemListPanel::requestRebuild() {
  SetTimer(window_, kLprocessListTimer, kLprocessListInterval, nullptr);
}

bool ItemListPanel::onCommand(int id) {
  switch (id) {
    case IDC_ADD_PROGRAM:
      cmdAddnew_Click();
      return true;
    case IDC_ADD_SERVICE:
      cmdAddService_Click();
      return true;
    case IDC_DELETE_ITEM:
      cmdDelete_Click();
      return true;
    case IDM_REFRESH_LIST:
      refreshTasklist_Click();
      return true;
    default:
      return false;
  }
}

bool ItemListPanel::onTimer(UINT_PTR id) {
  if (id != kLprocessListTimer) return false;
  lprocessListTimer_Timer();
  return true;
}

bool ItemListPanel::checkforduplicateProcess(const std::string& name) const {
  return app::checkforduplicateProcess(folder_, name);
}

// One process query and one service listing answer every row of a rebuild;
// a failed listing is told once.
std::string ItemListPanel::itemState(const formats::ItemFields& item, StateSources& sources) {
  if (formats::isServicePath(item.path)) {
    if (!sources.services) {
      sources.services = win::listServices();
      if (!sources.services->listed)
        ui::showNotice(window_, kServiceListFailure + std::to_string(sources.services->error));
    }
  } else if (!sources.processesQueried) {
    sources.processesQueried = true;
    try {
      sources.running = processFinder_.runningNames();
    } catch (const std::exception&) {
    }
  }
  static const win::ServiceListing kNoServices;
  return app::itemState(item, sources.running ? &*sources.running : nullptr,
                        sources.services ? *sources.services : kNoServices);
}

void ItemListPanel::loadProcesslist() {
  if (rebuilding_) return;
  rebuilding_ = true;
  try {
    rebuild();
  } catch (...) {
    rebuilding_ = false;
    throw;
  }
  rebuilding_ = false;
}

void ItemListPanel::rebuild() {
  // Three empty rows; items go in file order before the last of them. The
  // rows are made first and shown at once, so that the grid is drawn only
  // where it changed.
  std::vector<ui::Grid::Row> rows(3, {kEmptyRow});
  std::optional<ui::WaitCursor> hourglass;
  try {
    if (!win::fileExists(formats::itemFilePath(folder_))) {
      grid_.showRows(std::move(rows));
      loadItemSlots(folder_, itemSlots);  // creates it with its blank line
      ui::showArrow();
      return;
    }
    hourglass.emplace();
    loadItemSlots(folder_, itemSlots);
  } catch (const std::exception& e) {
    // The error step: the grid keeps what it had received, its empty rows.
    hourglass.reset();
    grid_.showRows(std::move(rows));
    ui::showArrow();
    ui::showError(window_, e);
    return;
  }

  // From here on a failing step is skipped without a message.
  StateSources sources;
  for (std::size_t slot = 0; slot < formats::kItemSlots; ++slot) {
    const std::string& line = itemSlots.slots[slot];
    if (!formats::isItemLine(line)) continue;
    const formats::ItemFields item = formats::splitItem(line);
    std::string state = kUnknownState;
    try {
      state = itemState(item, sources);
    } catch (const std::exception&) {
    }
    rows.insert(rows.end() - 1,
                {{std::to_string(slot), std::string(item.name), std::string(item.path), state},
                 static_cast<LPARAM>(slot)});
  }
  grid_.showRows(std::move(rows));
}

// A tick that falls due while a rebuild still runs (in a message box of
// it) waits for the next tick.
void ItemListPanel::lprocessListTimer_Timer() {
  if (rebuilding_) return;
  loadProcesslist();
  KillTimer(window_, kLprocessListTimer);
}

void ItemListPanel::refreshTasklist_Click() { loadProcesslist(); }

void ItemListPanel::MSFlexGrid1_MouseDown() { showPopupMenu(window_, IDR_GRID_MENU); }

void ItemListPanel::cmdAddnew_Click() {
  ui::DisabledWhileBusy button(GetDlgItem(window_, IDC_ADD_PROGRAM));
  try {
    if (formats::itemFileIsFull(formats::itemFilePath(folder_))) {
      ui::showNotice(window_, kListFullMessage);
      return;
    }
    const std::string path = ui::chooseFile(window_, "Choose .exe file you would like to monitor",
                                            "Executable Files (*.exe)|*.exe");
    if (path.size() > 1) {
      const std::string name = path.substr(path.find_last_of('\\') + 1);
      if (checkforduplicateProcess(name)) {
        ui::showNotice(window_, kDuplicateProcessMessage);
      } else {
        formats::appendItem(formats::itemFilePath(folder_), name, path);
        requestRebuild();
      }
    }
  } catch (const std::exception& e) {
    button.enable();
    ui::showError(window_, e);
  }
}

void ItemListPanel::cmdDelete_Click() {
  ui::DisabledWhileBusy button(GetDlgItem(window_, IDC_DELETE_ITEM));
  const int row = grid_.selectedRow();
  const LPARAM slot = row < 0 ? ui::Grid::kNoData : grid_.rowData(row);
  if (slot == ui::Grid::kNoData) {
    ui::showNotice(window_, kSelectItemMessage);
  } else if (ui::confirmWithQuestion(window_, kConfirmDeleteMessage)) {
    try {
      ui::WaitCursor hourglass;
      formats::rewriteWithout(formats::itemFilePath(folder_), itemSlots, static_cast<long>(slot));
      loadProcesslist();
    } catch (const std::exception&) {
      button.enable();
      ui::showNotice(window_, kDeleteFailedMessage);
      return;
    }
  }
  ui::showArrow();
}

void ItemListPanel::cmdAddService_Click() {
  ServicePicker::show(window_, folder_, [this] { requestRebuild(); });
}

}  // namespace app
