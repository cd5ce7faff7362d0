#pragma once
// The Covariances page: CovarGrid, the normalized covariances of the fitted parameters with 3
// significant digits, and the determinant line of CDPanel below it (6 significant digits). A
// cell's text is drawn only while the standard errors of its column are current; a
// correlation whose magnitude reaches the preference's threshold is drawn in red, and every
// cell off the diagonal is tinted by it: red for positive, blue for negative, the deeper the
// stronger.

#include <array>
#include <string>

#include "estimation/parameter_record.h"
#include "base/preferences.h"
#include "estimation/statistics.h"
#include "workspace/data_grid.h"

namespace zelk {

class CovarianceGrid {
 public:
  static constexpr int kSize = kMaxParams;

  // Writes the texts of parameters 1..count from the statistics and the determinant line;
  // other cells keep what they held.
  void Show(const TStatistics& statistics, int count);
  // Column = parameter i, row = parameter j, both 1..20; throws outside.
  const std::string& Text(int col, int row) const;
  bool TextDrawn(int col, const TParameterRecord& record) const;
  bool Emphasized(int col, int row, float threshold) const;
  // The cell's background: white on the diagonal and at 0, towards red (r > 0) or blue (r < 0).
  TColor Tint(int col, int row) const;
  // Ctrl+C: the drawn texts of the selection (clipped to the data cells), as the clipboard
  // takes them.
  std::string SelectionText(const GridRect& selection, const TParameterRecord& record) const;
  const std::string& DeterminantLine() const { return determinantLine_; }

 private:
  std::array<std::array<std::string, kSize + 1>, kSize + 1> texts_{};
  std::array<std::array<double, kSize + 1>, kSize + 1> values_{};
  std::string determinantLine_;
};

}  // namespace zelk
