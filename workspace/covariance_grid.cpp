#include "workspace/covariance_grid.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "base/format.h"
#include "base/messages.h"
#include "workspace/parameter_grids.h"

namespace zelk {

namespace {

void Check(int col, int row, int size) {
  if (col < 1 || col > size || row < 1 || row > size)
    throw std::out_of_range("covariance grid cell out of range");
}

}  // namespace

void CovarianceGrid::Show(const TStatistics& statistics, int count) {
  count = std::min(count, statistics.Correlation.Rows());
  values_.Hold(count, count);
  shown_.Hold(count, count);
  for (int i = 1; i <= count; ++i)
    for (int j = 1; j <= count; ++j) {
      values_[i][j] = statistics.Correlation[i][j];
      shown_[i][j] = 1;
    }
  determinantLine_ =
      msg::kCovarianceDeterminant + FormatGeneral(statistics.CorrelationDeterminant, 6);
}

std::string CovarianceGrid::Text(int col, int row) const {
  Check(col, row, Size());
  return shown_[col][row] ? FormatSignificant(values_[col][row], 3) : std::string();
}

bool CovarianceGrid::TextDrawn(int col, const TParameterRecord& record) const {
  return col >= 1 && col <= Size() && col <= Room(record) && record.StdErrValid.at(col);
}

bool CovarianceGrid::Emphasized(int col, int row, float threshold) const {
  Check(col, row, Size());
  // The diagonal is 1 by definition: no alarm.
  return col != row && std::fabs(values_[row][col]) >= threshold;
}

TColor CovarianceGrid::Tint(int col, int row) const {
  Check(col, row, Size());
  const double r = col == row ? 0 : std::clamp(values_[row][col], -1.0, 1.0);
  // Light enough at |r| = 1 for black and red text to stay readable.
  const int fade = 255 - static_cast<int>(std::lround(std::fabs(r) * 110));
  const int red = r < 0 ? fade : 255, blue = r > 0 ? fade : 255;
  return red | fade << 8 | blue << 16;
}

std::string CovarianceGrid::SelectionText(const GridRect& selection,
                                          const TParameterRecord& record) const {
  GridRect cells = selection;
  cells.Left = std::max(cells.Left, 1);
  cells.Top = std::max(cells.Top, 1);
  cells.Right = std::min(cells.Right, Size());
  cells.Bottom = std::min(cells.Bottom, Size());
  if (cells.Left > cells.Right || cells.Top > cells.Bottom) return {};
  return GridSelectionText(cells, [&](int col, int row) {
    return TextDrawn(col, record) ? Text(col, row) : std::string();
  });
}

}  // namespace zelk
