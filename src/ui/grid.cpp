#include "ui/grid.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>

namespace ui {
namespace {

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

LPARAM Grid::rowData(int row) const {
  return row >= 0 && row < rowCount() ? rows_[static_cast<std::size_t>(row)].data : kNoData;
}

void Grid::showRows(std::vector<Row> rows) {
  clearSelection();
  // The rows that stay and change, drawn again; a change of the count
  // draws what it adds or takes away.
  int first = -1, last = -1;
  for (std::size_t row = 0; row < std::min(rows.size(), rows_.size()); ++row) {
    if (rows[row].cells == rows_[row].cells) continue;
    if (first < 0) first = static_cast<int>(row);
    last = static_cast<int>(row);
  }
  const bool countChanges = rows.size() != rows_.size();
  rows_ = std::move(rows);
  if (countChanges) ListView_SetItemCountEx(hwnd_, rowCount(), LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
  if (first >= 0) ListView_RedrawItems(hwnd_, first, last);
  if (!rows_.empty()) ListView_EnsureVisible(hwnd_, 0, FALSE);
}

int Grid::selectedRow() const { return ListView_GetNextItem(hwnd_, -1, LVNI_SELECTED); }

void Grid::clearSelection() { ListView_SetItemState(hwnd_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED); }

bool Grid::answer(NMHDR& header) const {
  if (header.hwndFrom != hwnd_ || header.code != LVN_GETDISPINFOA) return false;
  LVITEMA& item = reinterpret_cast<NMLVDISPINFOA&>(header).item;
  if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return true;
  const std::size_t row = static_cast<std::size_t>(item.iItem), column = static_cast<std::size_t>(item.iSubItem);
  const bool known = row < rows_.size() && column < rows_[row].cells.size();
  lstrcpynA(item.pszText, known ? rows_[row].cells[column].c_str() : "", item.cchTextMax);
  return true;
}

}  // namespace ui
