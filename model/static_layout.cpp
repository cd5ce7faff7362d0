#include "model/static_layout.h"

namespace zelk {

StaticLayout::StaticLayout(TXData& x, TYData& y, int xStride, int yStride)
    : x_(x), y_(y), copyX_(x.X.Stride() != xStride), copyY_(y.M.Stride() != yStride) {
  if (copyX_) {
    xe_.Hold(x.X.Rows(), xStride - 1);
    for (int r = 0; r <= x.X.Rows(); ++r) CopyRow(xe_[r], x.X[r]);
  }
  if (copyY_) {
    ye_.Hold(y.M.Rows(), yStride - 1);
    for (int r = 0; r <= y.M.Rows(); ++r) CopyRow(ye_[r], y.M[r]);
  }
}

StaticLayout::~StaticLayout() {
  if (copyX_)
    for (int r = 0; r <= x_.X.Rows(); ++r) CopyRow(x_.X[r], xe_[r]);
  if (copyY_)
    for (int r = 0; r <= y_.M.Rows(); ++r) Pull(r);
}

void StaticLayout::Pull(int i) {
  if (copyY_) CopyRow(y_.M[i], ye_[i]);
}

}  // namespace zelk
