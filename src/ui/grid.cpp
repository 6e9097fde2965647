#include "ui/grid.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <string_view>

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
  clearSelection();
}

int Grid::selectedRow() const { return ListView_GetNextItem(hwnd_, -1, LVNI_SELECTED); }

void Grid::clearSelection() {
  ListView_SetItemState(hwnd_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  if (!rows_.empty()) ListView_SetItemState(hwnd_, 0, LVIS_FOCUSED, LVIS_FOCUSED);
}

POINT Grid::menuPoint() const {
  POINT at{0, 0};
  int row = selectedRow();
  if (row < 0) row = ListView_GetNextItem(hwnd_, -1, LVNI_FOCUSED);
  RECT r{};
  if (row >= 0 && ListView_EnsureVisible(hwnd_, row, FALSE) &&
      ListView_GetItemRect(hwnd_, row, &r, LVIR_BOUNDS))
    at = {r.left, r.bottom};
  ClientToScreen(hwnd_, &at);
  return at;
}

std::optional<LRESULT> Grid::answer(NMHDR& header) const {
  if (header.hwndFrom != hwnd_) return std::nullopt;
  if (header.code == LVN_ODFINDITEMA) {
    const auto& request = reinterpret_cast<const NMLVFINDITEMA&>(header);
    return findRow(request.lvfi.flags, request.lvfi.psz ? request.lvfi.psz : "", request.iStart);
  }
  if (header.code == LVN_ODFINDITEMW) {  // some lists ask in UTF-16 whatever their window
    const auto& request = reinterpret_cast<const NMLVFINDITEMW&>(header);
    char text[260] = {};
    if (request.lvfi.psz)
      WideCharToMultiByte(CP_ACP, 0, request.lvfi.psz, -1, text, sizeof text - 1, nullptr, nullptr);
    return findRow(request.lvfi.flags, text, request.iStart);
  }
  if (header.code != LVN_GETDISPINFOA) return std::nullopt;
  LVITEMA& item = reinterpret_cast<NMLVDISPINFOA&>(header).item;
  if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return 0;
  const std::size_t row = static_cast<std::size_t>(item.iItem),
                    column = static_cast<std::size_t>(item.iSubItem);
  const bool known = row < rows_.size() && column < rows_[row].cells.size();
  lstrcpynA(item.pszText, known ? rows_[row].cells[column].c_str() : "", item.cchTextMax);
  return 0;
}

// As a list that keeps its text searches it: from the start row on, round
// to the top if asked, for a row whose first visible cell (column 1: column
// 0 is in effect invisible) begins with, or is, the text, blanks before it
// and letter case ignored; -1 when none does.
LRESULT Grid::findRow(UINT flags, const std::string& text, int start) const {
  if (!(flags & (LVFI_STRING | LVFI_PARTIAL))) return -1;
  const std::size_t count = rows_.size();
  const std::size_t first =
      start >= 0 && static_cast<std::size_t>(start) < count ? static_cast<std::size_t>(start) : 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t row = (first + i) % count;
    if (row < first && !(flags & LVFI_WRAP)) break;
    const auto& cells = rows_[row].cells;
    std::string_view cell = cells.size() > 1 ? std::string_view(cells[1]) : std::string_view();
    cell.remove_prefix(std::min(cell.find_first_not_of(' '), cell.size()));
    const bool whole = (flags & LVFI_PARTIAL) || cell.size() == text.size();
    if (whole && cell.size() >= text.size() && _strnicmp(cell.data(), text.c_str(), text.size()) == 0)
      return static_cast<LRESULT>(row);
  }
  return -1;
}

}  // namespace ui
