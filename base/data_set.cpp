#include "base/data_set.h"

namespace zelk {

int CountMissingValues(const TDataSet& data) {
  int missing = 0;
  for (int j = 1; j <= data.YData.EventCount; ++j)
    for (int i = 1; i <= data.YData.DepCount; ++i)
      if (!data.YData.Defined.at(j).at(i)) ++missing;
  return missing;
}

void ClearValues(TDataSet& data) {
  for (int j = 1; j <= kMaxEvents; ++j) {
    for (int i = 1; i <= kMaxIndep; ++i) {
      data.XData.X[j][i] = 0;
      data.XData.Defined[j][i] = false;
    }
    for (int i = 1; i <= kMaxDep; ++i) {
      data.YData.M[j][i] = 0;
      data.YData.C[j][i] = 0;
      data.YData.Defined[j][i] = false;
    }
  }
}

void ComputeRanges(TDataSet& data) {
  const int events = data.YData.EventCount;
  double xMax = data.XData.X.at(1)[1], xMin = xMax;
  for (int j = 2; j <= events; ++j) {
    const double v = data.XData.X.at(j)[1];
    if (v > xMax) xMax = v;
    if (v < xMin) xMin = v;
  }
  data.XData.Range = {xMax, xMin};
  double yMax = data.YData.M.at(1).at(1), yMin = yMax;
  for (int j = 1; j <= events; ++j)
    for (int i = 1; i <= data.YData.DepCount; ++i) {
      const double v = data.YData.M.at(j).at(i);
      if (v > yMax) yMax = v;
      if (v < yMin) yMin = v;
    }
  data.YData.Range = {yMax, yMin};
}

}  // namespace zelk
