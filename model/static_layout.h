#pragma once
// What a static section's xe and ye point at. A model library's matrices have rows of the
// length it was compiled for (TModel::XeStride, YeStride); a data set laid out alike is handed
// over as it lies. Any other is handed over as a copy in the library's layout (the columns
// both have), and the measured values the section writes there come back to the data set:
// row by row when the solver reads them (Pull), all rows when the layout ends.

#include "base/data_set.h"

namespace zelk {

class StaticLayout {
 public:
  StaticLayout(TXData& x, TYData& y, int xStride, int yStride);
  ~StaticLayout();
  StaticLayout(const StaticLayout&) = delete;
  StaticLayout& operator=(const StaticLayout&) = delete;

  double* Xe() { return copyX_ ? xe_.data() : x_.X.data(); }
  double* Ye() { return copyY_ ? ye_.data() : y_.M.data(); }
  // Row i of the measured values as the static section left it.
  void Pull(int i);

 private:
  TXData& x_;
  TYData& y_;
  bool copyX_;
  bool copyY_;
  TTable<double, 0, 0> xe_;
  TTable<double, 0, 0> ye_;
};

}  // namespace zelk
