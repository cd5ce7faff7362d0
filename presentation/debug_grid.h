#pragma once
// The Debug page's grid: the texts of the last data set refreshed, as the chart and the
// design see it. 70 columns and 501 rows, never resized; column 0 and row 0 are its label
// column and heading row and stay empty.

#include <string>
#include <vector>

#include "base/data_set.h"
#include "model/model_names.h"

namespace zelk {

class DebugGrid {
 public:
  static constexpr int kColumns = 70;
  static constexpr int kRows = 501;

  DebugGrid() : texts_(static_cast<std::size_t>(kColumns) * kRows) {}

  // Row j: columns 1..IndepCount the independent values, then DepCount measured values of
  // event j; 6 significant digits when defined, empty when missing. Every other cell is
  // emptied. Events and variables beyond the grid's last row or column are not kept.
  // Headed by "X[i]" and the responses' names.
  void Show(const TDataSet& data, const ModelNames& names = {});

  // Throws std::out_of_range outside 0..kColumns-1, 0..kRows-1.
  const std::string& Text(int col, int row) const;

 private:
  std::string& Cell(int col, int row) {
    return texts_[static_cast<std::size_t>(row) * kColumns + col];
  }
  std::vector<std::string> texts_;
  // Rows 1..usedRows_ and columns 1..usedColumns_ may hold text; nothing beyond them does,
  // so a refresh empties only those (the design refreshes once per iteration).
  int usedRows_ = 0, usedColumns_ = 0;
};

}  // namespace zelk
