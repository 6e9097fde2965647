#pragma once
// A report-mode list view used as a grid of text cells with whole-row
// selection. Rows are numbered from 0 below the header; each row may carry a
// number of its owner's (the item's slot, the entry's place in a list).
#include <windows.h>
#include <commctrl.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace ui {

class Grid {
 public:
  // What a row without a number of its own carries.
  static constexpr LPARAM kNoData = -1;

  struct Row {
    std::vector<std::string> cells;
    LPARAM data = kNoData;
  };

  Grid() = default;
  explicit Grid(HWND listView) : hwnd_(listView) {}

  // Whole-row selection and cell lines; one column per header caption.
  void setUp(const std::vector<std::string>& headers);
  HWND handle() const { return hwnd_; }

  // The widths as the grids are designed: the first column one twip wide (in
  // effect invisible), each further column its share of the grid's width
  // less 125 twips, rounded to whole twips.
  void setDesignedWidths(std::initializer_list<double> shares);

  int rowCount() const { return static_cast<int>(rows_.size()); }
  LPARAM rowData(int row) const;

  // Makes the grid show exactly these rows, unselected and scrolled to the
  // top. Only the rows that differ from what it showed are drawn again.
  void showRows(std::vector<Row> rows);

  // The selected row, or -1 when none is.
  int selectedRow() const;
  // No row selected; the first one keeps the focus mark, so that a focused
  // grid shows where the arrow keys start.
  void clearSelection();

  // Where a menu opened from the keyboard goes, in screen coordinates: under
  // the selected row (or the focused one), else at the grid's top left.
  POINT menuPoint() const;

  // The list keeps no text of its own (an owner-data list view): it asks its
  // window for each cell it draws or is asked for, and for the row whose
  // first visible cell begins with what the user types. Answers such a request of
  // this grid's with the value its window returns for it; nothing for any
  // other notification.
  std::optional<LRESULT> answer(NMHDR& header) const;

 private:
  LRESULT findRow(UINT flags, const std::string& text, int start) const;

  HWND hwnd_ = nullptr;
  std::vector<Row> rows_;
};

}  // namespace ui
