#pragma once
// The Covariances page: CovarGrid, the normalized covariances of the fitted parameters with 3
// significant digits, and the determinant line of CDPanel below it (6 significant digits). A
// cell's text is drawn only while the standard errors of its column are current; a
// correlation whose magnitude reaches the preference's threshold is drawn in red, and every
// cell off the diagonal is tinted by it: red for positive, blue for negative, the deeper the
// stronger.

#include <cstdint>
#include <string>

#include "estimation/parameter_record.h"
#include "base/preferences.h"
#include "estimation/statistics.h"
#include "workspace/data_grid.h"

namespace zelk {

class CovarianceGrid {
 public:
  // Takes the correlations of parameters 1..count from the statistics and the determinant
  // line; other cells keep what they held.
  void Show(const TStatistics& statistics, int count);
  // Parameters the grid has cells for: 20, or as many as were last shown when more.
  int Size() const { return values_.Rows(); }
  // Column = parameter i, row = parameter j, both 1..Size(); throws outside.
  std::string Text(int col, int row) const;
  bool TextDrawn(int col, const TParameterRecord& record) const;
  bool Emphasized(int col, int row, float threshold) const;
  // The cell's background: white on the diagonal and at 0, towards red (r > 0) or blue (r < 0).
  TColor Tint(int col, int row) const;
  // Ctrl+C: the drawn texts of the selection (clipped to the data cells), as the clipboard
  // takes them.
  std::string SelectionText(const GridRect& selection, const TParameterRecord& record) const;
  const std::string& DeterminantLine() const { return determinantLine_; }

 private:
  // Texts are formatted when drawn: a thousand parameters make a million cells.
  TTable<double, kMaxParams, kMaxParams> values_;
  TTable<std::uint8_t, kMaxParams, kMaxParams> shown_;
  std::string determinantLine_;
};

}  // namespace zelk
