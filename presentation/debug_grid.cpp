#include "presentation/debug_grid.h"

#include <algorithm>
#include <stdexcept>

#include "base/format.h"

namespace zelk {

void DebugGrid::Show(const TDataSet& data, const ModelNames& names) {
  for (int j = 0; j <= usedRows_; ++j)
    for (int i = 1; i <= usedColumns_; ++i) Cell(i, j).clear();
  const TXData& x = data.XData;
  const TYData& y = data.YData;
  const int indep = std::clamp<int>(x.IndepCount, 0, x.X.Columns());
  const int dep = std::clamp<int>(y.DepCount, 0, y.M.Columns());
  // Rows and columns past the grid would never be seen: they are not formatted at all.
  const int rows = std::clamp<int>(y.EventCount, 0, std::min(kRows - 1, y.M.Rows()));
  const int indepShown = std::min(indep, kColumns - 1);
  const int depShown = std::min(dep, kColumns - 1 - indep);
  for (int j = 1; j <= rows; ++j) {
    for (int i = 1; i <= indepShown; ++i)
      if (x.Defined[j][i]) Cell(i, j) = FormatSignificant(x.X[j][i], 6);
    for (int i = 1; i <= depShown; ++i)
      if (y.Defined[j][i]) Cell(indep + i, j) = FormatSignificant(y.M[j][i], 6);
  }
  for (int i = 1; i <= indepShown; ++i) Cell(i, 0) = "X[" + std::to_string(i) + "]";
  for (int i = 1; i <= depShown; ++i) Cell(indep + i, 0) = ResponseLabel(names, i);
  usedRows_ = rows;
  usedColumns_ = std::min(kColumns - 1, indep + std::max(depShown, 0));
}

const std::string& DebugGrid::Text(int col, int row) const {
  if (col < 0 || col >= kColumns || row < 0 || row >= kRows)
    throw std::out_of_range("debug grid cell out of range");
  return texts_[static_cast<std::size_t>(row) * kColumns + col];
}

}  // namespace zelk
