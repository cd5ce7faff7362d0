#include "presentation/chart_data.h"

#include "model/experiments.h"

namespace zelk {

void BuildRefinedCopy(const TDataSet& measured, TDataSet& chart) {
  chart = measured;
  const int events = measured.YData.EventCount;
  if (events < 2) return;
  const TXData& mx = measured.XData;
  const int indep = mx.IndepCount, dep = measured.YData.DepCount;
  const int experiments = CountExperiments(mx, events);
  // About a thousand points a curve, or one an event where there are more.
  const int k = kMaxEvents / events;
  int out = 1, last = 0;
  for (int e = 0; e < experiments; ++e) {
    const int first = last + 1;
    const int next = NextExperimentStart(mx, first, events);
    last = next < 0 ? events : next - 1;
    for (int j = first; j <= last; ++j) {
      CopyRow(chart.XData.X.at(out), mx.X[j]);
      CopyRow(chart.XData.Defined.at(out), mx.Defined[j]);
      CopyRow(chart.YData.M.at(out), measured.YData.M[j]);
      CopyRow(chart.YData.Defined.at(out), measured.YData.Defined[j]);
      ++out;
      if (k < 2 || j >= last) continue;
      for (int t = 1; t <= k - 1; ++t) {
        const TRow<double> row = chart.XData.X.at(out);
        row[1] = (mx.X[j + 1][1] - mx.X[j][1]) / k * t + mx.X[j][1];
        for (int col = 2; col <= indep; ++col) row[col] = mx.X[first][col];
        for (int col = 1; col <= indep; ++col) chart.XData.Defined[out][col] = true;
        for (int i = 1; i <= dep; ++i) chart.YData.Defined[out][i] = false;
        ++out;
      }
    }
  }
  chart.YData.EventCount = out - 1;
}

DataCounts RefreshChartData(TDataSet& measured, TDataSet& chart, int difEqCount) {
  ComputeRanges(measured);
  BuildRefinedCopy(measured, chart);
  DataCounts counts;
  counts.ExperimentCount =
      difEqCount <= 0 ? 0 : CountExperiments(measured.XData, measured.YData.EventCount);
  counts.MissingCount = CountMissingValues(measured);
  return counts;
}

}  // namespace zelk
