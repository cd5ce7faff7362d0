#include "workspace/grid_cursor.h"

#include <algorithm>

namespace zelk {

bool GridCursor::MoveTo(int col, int row) {
  if (!Contains(col, row)) return false;
  column_ = col;
  row_ = row;
  selection_ = {col, row, col, row};
  return true;
}

void GridCursor::Select(const GridRect& corners) {
  selection_ = {std::clamp(std::min(corners.Left, corners.Right), 1, lastColumn_),
                std::clamp(std::min(corners.Top, corners.Bottom), 1, lastRow_),
                std::clamp(std::max(corners.Left, corners.Right), 1, lastColumn_),
                std::clamp(std::max(corners.Top, corners.Bottom), 1, lastRow_)};
}

void GridCursor::SetLastColumn(int lastColumn) {
  lastColumn_ = lastColumn;
  column_ = std::min(column_, lastColumn_);
  selection_.Left = std::min(selection_.Left, lastColumn_);
  selection_.Right = std::min(selection_.Right, lastColumn_);
}

void GridCursor::SetLastRow(int lastRow) {
  lastRow_ = lastRow;
  row_ = std::min(row_, lastRow_);
  selection_.Top = std::min(selection_.Top, lastRow_);
  selection_.Bottom = std::min(selection_.Bottom, lastRow_);
}

}  // namespace zelk
