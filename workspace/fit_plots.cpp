#include "workspace/fit_plots.h"

#include <algorithm>

namespace zelk {

namespace {

constexpr TColor kProgressColor = 0xC00000;  // blue in the lowest-byte-red order

}  // namespace

XYPlot ProgressPlot(const FitResult& fit, std::int64_t solutionsNow, bool running, double best) {
  XYPlot plot;
  plot.Title = fit.Search == kIdle ? "Best objective" : std::string(SearchName(fit.Search));
  plot.XLabel = "model calls";
  plot.YLabel = "best objective";
  plot.LogY = true;
  PlotSeries line;
  line.Color = kProgressColor;
  line.Points = fit.Progress;
  if (running && !line.Points.empty())
    line.Points.emplace_back(static_cast<double>(solutionsNow - fit.ProgressBase), best);
  plot.Series.push_back(std::move(line));
  return plot;
}

XYPlot ProfileProgressPlot(const FitResult& fit, double threshold) {
  XYPlot plot;
  plot.Title = "Profile minimum";
  plot.XLabel = "model calls";
  plot.YLabel = "objective";
  plot.LogY = true;
  if (threshold > 0) plot.Threshold = threshold;
  PlotSeries line;
  line.Color = kProgressColor;
  line.Points = fit.ProfileProgress;
  plot.Series.push_back(std::move(line));
  return plot;
}

XYPlot ProfilePlot(const FitResult& fit, const TParameterRecord& record, int k, double threshold) {
  XYPlot plot;
  plot.Title = "Parameter " + std::to_string(k);
  plot.XLabel = "value";
  plot.YLabel = "objective";
  if (threshold > 0) plot.Threshold = threshold;
  PlotSeries points;
  points.Color = kProgressColor;
  points.Markers = true;
  if (k >= 1 && k < static_cast<int>(fit.Profiles.size())) {
    points.Points = fit.Profiles[k];
    std::sort(points.Points.begin(), points.Points.end());
  }
  plot.Series.push_back(std::move(points));
  if (k >= 1 && k <= kMaxParams) {
    if (record.LoFValid[k]) plot.Marks.push_back(record.LoFLimit[k]);
    if (record.HiFValid[k]) plot.Marks.push_back(record.HiFLimit[k]);
  }
  return plot;
}

}  // namespace zelk
