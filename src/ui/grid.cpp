#include "ui/grid.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>

namespace ui {
namespace {

std::string cellText(HWND listView, int row, int column) {
  char buffer[1024] = {};
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = sizeof buffer;
  SendMessageA(listView, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
  return buffer;
}

int windowDpi(HWND window) {
  HDC dc = GetDC(window);
  int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
  if (dc) ReleaseDC(window, dc);
  return dpi > 0 ? dpi : 96;
}

}  // namespace

void Grid::setUp(const std::vector<std::string>& headers) {
  ListView_SetExtendedListViewStyle(hwnd_, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  for (std::size_t i = 0; i < headers.size(); ++i) {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<char*>(headers[i].c_str());
    column.cx = 50;
    column.iSubItem = static_cast<int>(i);
    SendMessageA(hwnd_, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
  }
}

void Grid::setDesignedWidths(std::initializer_list<double> shares) {
  // The design measures in twips, 1440 to the inch.
  const int dpi = windowDpi(hwnd_);
  RECT r{};
  GetWindowRect(hwnd_, &r);
  const double usable = MulDiv(r.right - r.left, 1440, dpi) - 125;
  auto toPixels = [&](double twips) { return MulDiv(static_cast<int>(std::lround(twips)), dpi, 1440); };
  ListView_SetColumnWidth(hwnd_, 0, toPixels(1));
  int column = 1;
  for (double share : shares) ListView_SetColumnWidth(hwnd_, column++, toPixels(usable * share));
}

int Grid::rowCount() const { return ListView_GetItemCount(hwnd_); }

void Grid::clear() { ListView_DeleteAllItems(hwnd_); }

void Grid::insertRow(int row, const std::vector<std::string>& cells, LPARAM data) {
  LVITEMA item{};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = row;
  item.pszText = const_cast<char*>(cells.empty() ? "" : cells[0].c_str());
  item.lParam = data;
  int at = static_cast<int>(SendMessageA(hwnd_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  for (std::size_t c = 1; c < cells.size(); ++c) {
    LVITEMA sub{};
    sub.iSubItem = static_cast<int>(c);
    sub.pszText = const_cast<char*>(cells[c].c_str());
    SendMessageA(hwnd_, LVM_SETITEMTEXTA, at, reinterpret_cast<LPARAM>(&sub));
  }
}

LPARAM Grid::rowData(int row) const {
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (!SendMessageA(hwnd_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return kNoData;
  return item.lParam;
}

void Grid::showRows(const std::vector<Row>& rows) {
  clearSelection();
  const int shown = rowCount(), wanted = static_cast<int>(rows.size());
  // A change of the row count changes the scroll bar: drawn once at the end.
  std::optional<GridUpdate> update;
  if (shown != wanted) update.emplace(*this);
  for (int row = wanted; row < shown; ++row) ListView_DeleteItem(hwnd_, wanted);
  for (int row = 0; row < std::min(shown, wanted); ++row) {
    const Row& r = rows[static_cast<std::size_t>(row)];
    for (std::size_t c = 0; c < r.cells.size(); ++c) {
      if (cellText(hwnd_, row, static_cast<int>(c)) == r.cells[c]) continue;
      LVITEMA sub{};
      sub.iSubItem = static_cast<int>(c);
      sub.pszText = const_cast<char*>(r.cells[c].c_str());
      SendMessageA(hwnd_, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&sub));
    }
    if (rowData(row) != r.data) {
      LVITEMA item{};
      item.mask = LVIF_PARAM;
      item.iItem = row;
      item.lParam = r.data;
      SendMessageA(hwnd_, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
  }
  for (int row = shown; row < wanted; ++row) {
    const Row& r = rows[static_cast<std::size_t>(row)];
    insertRow(row, r.cells, r.data);
  }
  if (wanted > 0) ListView_EnsureVisible(hwnd_, 0, FALSE);
}

int Grid::selectedRow() const { return ListView_GetNextItem(hwnd_, -1, LVNI_SELECTED); }

void Grid::clearSelection() { ListView_SetItemState(hwnd_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED); }

GridUpdate::GridUpdate(const Grid& grid) : hwnd_(grid.handle()) { SendMessageA(hwnd_, WM_SETREDRAW, FALSE, 0); }

GridUpdate::~GridUpdate() {
  SendMessageA(hwnd_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

}  // namespace ui
