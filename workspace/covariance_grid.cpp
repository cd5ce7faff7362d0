#include "workspace/covariance_grid.h"

#include <cmath>
#include <stdexcept>

#include "base/format.h"
#include "base/messages.h"

namespace zelk {

namespace {

void Check(int col, int row) {
  if (col < 1 || col > CovarianceGrid::kSize || row < 1 || row > CovarianceGrid::kSize)
    throw std::out_of_range("covariance grid cell out of range");
}

}  // namespace

void CovarianceGrid::Show(const TStatistics& statistics, int count) {
  for (int i = 1; i <= count && i <= kSize; ++i)
    for (int j = 1; j <= count && j <= kSize; ++j) {
      values_[i][j] = statistics.Correlation[i][j];
      texts_[i][j] = FormatSignificant(statistics.Correlation[i][j], 3);
    }
  determinantLine_ =
      msg::kCovarianceDeterminant + FormatGeneral(statistics.CorrelationDeterminant, 15);
}

const std::string& CovarianceGrid::Text(int col, int row) const {
  Check(col, row);
  return texts_[col][row];
}

bool CovarianceGrid::TextDrawn(int col, const TParameterRecord& record) const {
  return col >= 1 && col <= kSize && record.StdErrValid.at(col);
}

bool CovarianceGrid::Emphasized(int col, int row, float threshold) const {
  Check(col, row);
  return std::fabs(values_[row][col]) >= threshold;
}

}  // namespace zelk
