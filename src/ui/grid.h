#pragma once
// A report-mode list view used as a grid of text cells with whole-row
// selection. Rows are numbered from 0 below the header; each row may carry a
// number of its owner's (the item's slot, the entry's place in a list).
#include <windows.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace ui {

class Grid {
 public:
  // What a row without a number of its own carries.
  static constexpr LPARAM kNoData = -1;

  Grid() = default;
  explicit Grid(HWND listView) : hwnd_(listView) {}

  // Whole-row selection and cell lines; one column per header caption.
  void setUp(const std::vector<std::string>& headers);
  HWND handle() const { return hwnd_; }

  // The widths as the grids are designed: the first column one twip wide (in
  // effect invisible), each further column its share of the grid's width
  // less 125 twips, rounded to whole twips.
  void setDesignedWidths(std::initializer_list<double> shares);

  int rowCount() const;
  void clear();
  // Inserts a row of cells at `row` (rowCount() for the end).
  void insertRow(int row, const std::vector<std::string>& cells, LPARAM data = kNoData);
  LPARAM rowData(int row) const;

  struct Row {
    std::vector<std::string> cells;
    LPARAM data = kNoData;
  };
  // Makes the grid show exactly these rows, unselected and scrolled to the
  // top. Rows that stay are changed in place, cell by cell where they
  // differ, and rows are added or taken away at the end, so that a grid that
  // shows the same again is not drawn again.
  void showRows(const std::vector<Row>& rows);

  // The selected row, or -1 when none is.
  int selectedRow() const;
  void clearSelection();

 private:
  HWND hwnd_ = nullptr;
};

// Holds a grid's drawing for the life of a scope, then draws it once: many
// rows go in without a redraw (and a scroll bar update) for each.
class GridUpdate {
 public:
  explicit GridUpdate(const Grid& grid);
  ~GridUpdate();
  GridUpdate(const GridUpdate&) = delete;
  GridUpdate& operator=(const GridUpdate&) = delete;

 private:
  HWND hwnd_;
};

}  // namespace ui
