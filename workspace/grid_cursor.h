#pragma once
// The current cell and the selection of an editable grid: one model for the data grid and the
// parameter grids. Data cells are columns 1..LastColumn and rows 1..LastRow; column 0 and row 0
// hold labels and headings and are never current or selected.

namespace zelk {

struct GridRect {
  int Left = 1, Top = 1, Right = 1, Bottom = 1;
};

class GridCursor {
 public:
  GridCursor(int lastColumn, int lastRow) : lastColumn_(lastColumn), lastRow_(lastRow) {}

  int Column() const { return column_; }
  int Row() const { return row_; }
  const GridRect& Selection() const { return selection_; }
  bool IsCurrent(int col, int row) const { return col == column_ && row == row_; }
  bool Contains(int col, int row) const {
    return col >= 1 && col <= lastColumn_ && row >= 1 && row <= lastRow_;
  }
  bool Selected(int col, int row) const {
    return col >= selection_.Left && col <= selection_.Right && row >= selection_.Top &&
           row <= selection_.Bottom;
  }

  // Makes (col, row) current and the whole selection; false, and nothing moves, off the data
  // cells.
  bool MoveTo(int col, int row);
  // The rectangle between two corners given in any order, clipped to the data cells.
  void Select(const GridRect& corners);
  // The number of data columns changed: the current cell and the selection stay within it.
  void SetLastColumn(int lastColumn);
  // The number of data rows changed, likewise.
  void SetLastRow(int lastRow);

 private:
  int lastColumn_, lastRow_;
  int column_ = 1, row_ = 1;
  GridRect selection_;
};

}  // namespace zelk
