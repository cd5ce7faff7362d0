#include "estimation/experiment_design.h"

#include <algorithm>
#include <cmath>

namespace zelk {

bool MergeDesignData(const TDataSet& measured, const std::vector<double>& candidates,
                     TDataSet& design, std::vector<int>& candidateRows) {
  const TXData& x = measured.XData;
  const TYData& y = measured.YData;
  const int n = y.EventCount;
  const int total = n + static_cast<int>(candidates.size());
  if (!FitsInMemory(total, x.IndepCount, y.DepCount)) return false;
  candidateRows.clear();
  Hold(design, total, x.X.Columns(), y.M.Columns());
  design.XData.IndepCount = x.IndepCount;
  design.YData.DepCount = y.DepCount;
  design.YData.EventCount = total;
  int e = 1;
  std::size_t c = 0;
  for (int row = 1; row <= total; ++row) {
    const bool event = c == candidates.size() || (e <= n && !(x.X[e][1] > candidates[c]));
    if (event) {
      CopyRow(design.XData.X[row], x.X[e]);
      CopyRow(design.XData.Defined[row], x.Defined[e]);
      CopyRow(design.YData.M[row], y.M[e]);
      CopyRow(design.YData.Defined[row], y.Defined[e]);
      ++e;
    } else {
      std::fill(design.XData.X[row].begin(), design.XData.X[row].end(), 0.0);
      design.XData.X[row][1] = candidates[c++];
      std::fill(design.XData.Defined[row].begin(), design.XData.Defined[row].end(), 0);
      design.XData.Defined[row][1] = x.Defined.at(e)[1];  // of the event that follows
      std::fill(design.YData.M[row].begin(), design.YData.M[row].end(), 0.0);
      std::fill(design.YData.Defined[row].begin(), design.YData.Defined[row].end(), 1);
      candidateRows.push_back(row);
    }
  }
  return true;
}

bool DesignStopRule::AfterIteration(double best) {
  ++k_;
  if (k_ % kDesignCheckEvery != 0) return false;
  if (k_ > static_cast<long>(kDesignMinIterationsPerPoint) * points_) {
    // No relative change of a best of 0: the design ends when nothing has raised it yet.
    if (previous_ > 0 ? std::fabs(best - previous_) / previous_ < kDesignStalled : best <= 0)
      return true;
  }
  previous_ = best;
  return false;
}

}  // namespace zelk
