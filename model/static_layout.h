#pragma once
// What a static section's xe and ye point at. A model library's matrix types have the
// classic rows of 21 and 51 doubles; a data set that wide is handed over as it lies. A wider
// one is handed over as a copy in the classic layout (its first 20 and 50 columns), and the
// measured values the section writes there come back to the data set: row by row when the
// solver reads them (Pull), all rows when the layout ends.

#include "base/data_set.h"

namespace zelk {

class StaticLayout {
 public:
  StaticLayout(TXData& x, TYData& y);
  ~StaticLayout();
  StaticLayout(const StaticLayout&) = delete;
  StaticLayout& operator=(const StaticLayout&) = delete;

  double* Xe() { return wideX_ ? xe_.data() : x_.X.data(); }
  double* Ye() { return wideY_ ? ye_.data() : y_.M.data(); }
  // Row i of the measured values as the static section left it.
  void Pull(int i);

 private:
  TXData& x_;
  TYData& y_;
  bool wideX_;
  bool wideY_;
  TTable<double, 0, kMaxIndep> xe_;
  TTable<double, 0, kMaxDep> ye_;
};

}  // namespace zelk
