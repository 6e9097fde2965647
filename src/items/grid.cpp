#include "items/grid.h"

#include <commctrl.h>

#include <algorithm>

namespace items {
namespace {

int windowDpi(HWND window) {
  HDC dc = GetDC(window);
  int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
  if (dc) ReleaseDC(window, dc);
  return dpi > 0 ? dpi : 96;
}

}  // namespace

int twipsToPixels(HWND window, int twips) { return MulDiv(twips, windowDpi(window), 1440); }
int pixelsToTwips(HWND window, int pixels) { return MulDiv(pixels, 1440, windowDpi(window)); }

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

void Grid::setColumnWidthsTwips(const std::vector<int>& twips) {
  for (std::size_t i = 0; i < twips.size(); ++i)
    ListView_SetColumnWidth(hwnd_, static_cast<int>(i), twipsToPixels(hwnd_, twips[i]));
}

int Grid::widthTwips() const {
  RECT r{};
  GetWindowRect(hwnd_, &r);
  return pixelsToTwips(hwnd_, r.right - r.left);
}

int Grid::rowCount() const { return ListView_GetItemCount(hwnd_); }

void Grid::clear() { ListView_DeleteAllItems(hwnd_); }

void Grid::insertRow(int row, const std::vector<std::string>& cells) {
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.pszText = const_cast<char*>(cells.empty() ? "" : cells[0].c_str());
  int at = static_cast<int>(SendMessageA(hwnd_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  for (std::size_t c = 1; c < cells.size(); ++c) {
    LVITEMA sub{};
    sub.iSubItem = static_cast<int>(c);
    sub.pszText = const_cast<char*>(cells[c].c_str());
    SendMessageA(hwnd_, LVM_SETITEMTEXTA, at, reinterpret_cast<LPARAM>(&sub));
  }
}

std::string Grid::cell(int row, int column) const {
  std::string text(1024, '\0');
  for (;;) {
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(text.size());
    auto n = static_cast<std::size_t>(SendMessageA(hwnd_, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)));
    if (n + 1 < text.size()) {
      text.resize(n);
      return text;
    }
    text.resize(text.size() * 4);
  }
}

void Grid::sortRows(int column, bool (*less)(std::string_view, std::string_view)) {
  const int rows = rowCount();
  const int columns = Header_GetItemCount(ListView_GetHeader(hwnd_));
  std::vector<std::vector<std::string>> table(static_cast<std::size_t>(rows));
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) table[static_cast<std::size_t>(r)].push_back(cell(r, c));
  std::stable_sort(table.begin(), table.end(), [&](const auto& a, const auto& b) {
    return less(a[static_cast<std::size_t>(column)], b[static_cast<std::size_t>(column)]);
  });
  GridUpdate update(*this);
  clear();
  for (const auto& row : table) insertRow(rowCount(), row);
}

GridUpdate::GridUpdate(const Grid& grid) : hwnd_(grid.handle()) { SendMessageA(hwnd_, WM_SETREDRAW, FALSE, 0); }

GridUpdate::~GridUpdate() {
  SendMessageA(hwnd_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

int Grid::selectedRow() const { return ListView_GetNextItem(hwnd_, -1, LVNI_SELECTED); }

void Grid::clearSelection() { ListView_SetItemState(hwnd_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED); }

}  // namespace items
