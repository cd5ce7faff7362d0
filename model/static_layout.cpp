#include "model/static_layout.h"

namespace zelk {

StaticLayout::StaticLayout(TXData& x, TYData& y)
    : x_(x),
      y_(y),
      wideX_(x.X.Stride() != kMaxIndep + 1),
      wideY_(y.M.Stride() != kMaxDep + 1) {
  if (wideX_) {
    xe_.Hold(x.X.Rows(), kMaxIndep);
    for (int r = 0; r <= x.X.Rows(); ++r) CopyRow(xe_[r], x.X[r]);
  }
  if (wideY_) {
    ye_.Hold(y.M.Rows(), kMaxDep);
    for (int r = 0; r <= y.M.Rows(); ++r) CopyRow(ye_[r], y.M[r]);
  }
}

StaticLayout::~StaticLayout() {
  if (wideX_)
    for (int r = 0; r <= x_.X.Rows(); ++r) CopyRow(x_.X[r], xe_[r]);
  if (wideY_)
    for (int r = 0; r <= y_.M.Rows(); ++r) Pull(r);
}

void StaticLayout::Pull(int i) {
  if (wideY_) CopyRow(y_.M[i], ye_[i]);
}

}  // namespace zelk
