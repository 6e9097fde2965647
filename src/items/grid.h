#pragma once
// A report-mode list view used as a grid of text cells with whole-row
// selection. Rows are numbered from 0 below the header.
#include <windows.h>

#include <string>
#include <vector>

namespace items {

class Grid {
 public:
  Grid() = default;
  explicit Grid(HWND listView) : hwnd_(listView) {}

  // Whole-row selection and cell lines; `columns` header captions.
  void setUp(const std::vector<std::string>& headers);
  HWND handle() const { return hwnd_; }

  // Column widths in twips, turned into pixels at the window's DPI.
  void setColumnWidthsTwips(const std::vector<int>& twips);
  // The list view's width in twips.
  int widthTwips() const;

  int rowCount() const;
  void clear();
  // Inserts a row of cells at `row` (rowCount() for the end).
  void insertRow(int row, const std::vector<std::string>& cells);
  std::string cell(int row, int column) const;
  void sortRows(int column, bool (*less)(std::string_view, std::string_view));

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

// Pixels for twips at a window's DPI (1440 twips to the inch).
int twipsToPixels(HWND window, int twips);
int pixelsToTwips(HWND window, int pixels);

}  // namespace items
