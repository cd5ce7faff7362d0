#include "base/data_set.h"

#include <algorithm>

namespace zelk {

int CountMissingValues(const TDataSet& data) {
  int missing = 0;
  for (int j = 1; j <= data.YData.EventCount; ++j)
    for (int i = 1; i <= data.YData.DepCount; ++i)
      if (!data.YData.Defined.at(j).at(i)) ++missing;
  return missing;
}

bool FitsInMemory(std::int64_t events, std::int64_t indep, std::int64_t dep) {
  if (events > kMaxEventCount || indep > kMaxVariables || dep > kMaxVariables) return false;
  const std::int64_t rows = std::max<std::int64_t>(events, kMaxEvents) + 1;
  return rows * (std::max<std::int64_t>(indep, kMaxIndep) + 1) <= kMaxDataCells &&
         rows * (std::max<std::int64_t>(dep, kMaxDep) + 1) <= kMaxDataCells;
}

void Hold(TDataSet& data, int events, int indep, int dep) {
  data.XData.X.Hold(events, indep);
  data.XData.Defined.Hold(events, indep);
  data.YData.M.Hold(events, dep);
  data.YData.C.Hold(events, dep);
  data.YData.Defined.Hold(events, dep);
}

void ClearValues(TDataSet& data) {
  data.XData.X.Fill(0);
  data.XData.Defined.Fill(0);
  data.YData.M.Fill(0);
  data.YData.C.Fill(0);
  data.YData.Defined.Fill(0);
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
