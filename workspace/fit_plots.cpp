#include "workspace/fit_plots.h"

#include <algorithm>
#include <cmath>

#include "estimation/multi_start.h"
#include "estimation/scales.h"

#include <iterator>

#include "model/experiments.h"

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

XYPlot WaterfallPlot(const FitResult& fit) {
  XYPlot plot;
  const int reached = CountReachingBest(fit.Starts);
  plot.Title = "Multi-start: " + std::to_string(reached) + " of " + std::to_string(fit.Starts.size()) +
               " starts reached the best";
  plot.XLabel = "start, by final objective";
  plot.YLabel = "final objective";
  PlotSeries points;
  points.Color = kProgressColor;
  points.Lines = false;
  points.Markers = true;
  int rank = 0;
  for (const StartResult& r : fit.Starts)
    if (!r.Failed()) points.Points.emplace_back(++rank, r.Objective);
  if (!points.Points.empty()) {
    const double best = points.Points.front().second;
    plot.Threshold = best + kReachedTolerance * std::max(1.0, std::fabs(best));
  }
  plot.Series.push_back(std::move(points));
  return plot;
}

XYPlot BestStartsPlot(const FitResult& fit, const TParameterRecord& table) {
  XYPlot plot;
  plot.Title = "Best starts across their bounds";
  plot.XLabel = "parameter";
  plot.YLabel = "position in bounds";
  const int shown = std::min(10, CountReachingBest(fit.Starts));
  const TColor colors[] = {kProgressColor, kBlack, 0x00A000, 0x0080C0, 0xC06000};
  for (int s = 0; s < shown; ++s) {
    PlotSeries line;
    line.Color = colors[s % 5];
    line.Markers = true;
    const StartResult& r = fit.Starts[static_cast<std::size_t>(s)];
    for (int i = 1; i <= table.Count && i <= static_cast<int>(r.Values.size()); ++i) {
      const double lo = table.MinBound[i], hi = table.MaxBound[i], v = r.Values[static_cast<std::size_t>(i - 1)];
      if (table.Fixed[i] || !std::isfinite(lo) || !std::isfinite(hi) || !(hi > lo)) continue;
      const TScale scale = EffectiveScale(table, i);
      const double u = (ToScaled(scale, v) - ToScaled(scale, lo)) / (ToScaled(scale, hi) - ToScaled(scale, lo));
      if (std::isfinite(u)) line.Points.emplace_back(i, u);
    }
    plot.Series.push_back(std::move(line));
  }
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

XYPlot ResidualPlot(const TDataSet& measured, int r, const ModelNames& names) {
  // Experiments told apart by colour, in turn.
  static constexpr TColor kExperimentColors[] = {0xC00000, 0x0000C0, 0x008000, 0x800080, 0x008080};
  XYPlot plot;
  plot.Title = ResponseLabel(names, r) + " residuals";
  plot.XLabel = "X[1]";
  plot.YLabel = "C - M";
  plot.ZeroLine = true;
  const TXData& x = measured.XData;
  const TYData& y = measured.YData;
  for (int e = 1; e <= y.EventCount; ++e) {
    if (e == 1 || !SameExperiment(x, e - 1, e)) {
      PlotSeries series;
      series.Color = kExperimentColors[plot.Series.size() % std::size(kExperimentColors)];
      series.Markers = true;
      plot.Series.push_back(std::move(series));
    }
    if (r >= 1 && r <= y.DepCount && y.Defined[e][r])
      plot.Series.back().Points.emplace_back(x.X[e][1], y.C[e][r] - y.M[e][r]);
  }
  return plot;
}

namespace {

// One series per response of the pairs (x, y) that `pair` makes of its defined events.
template <class Pair>
XYPlot ByResponse(const TYData* data, const TSeriesStyles& series, const ModelNames& names,
                  Pair pair) {
  XYPlot plot;
  if (!data) return plot;
  const TYData& y = *data;
  for (int r = 1; r <= y.DepCount; ++r) {
    PlotSeries s;
    s.Color = series[(r - 1) % kSeriesCount + 1].LineColor;
    s.Lines = false;
    s.Markers = true;
    s.Name = ResponseLabel(names, r);
    for (int j = 1; j <= y.EventCount; ++j)
      if (y.Defined[j][r]) s.Points.push_back(pair(y.C[j][r], y.M[j][r]));
    plot.Series.push_back(std::move(s));
  }
  return plot;
}

}  // namespace

XYPlot ObservedPredictedPlot(const TYData* y, const TSeriesStyles& series,
                             const ModelNames& names) {
  XYPlot plot = ByResponse(y, series, names, [](double c, double m) { return std::pair(c, m); });
  plot.Title = "Observed against predicted";
  plot.XLabel = "predicted C";
  plot.YLabel = "observed M";
  plot.Diagonal = true;
  return plot;
}

XYPlot ResidualPredictedPlot(const TYData* y, const TSeriesStyles& series,
                             const ModelNames& names) {
  XYPlot plot =
      ByResponse(y, series, names, [](double c, double m) { return std::pair(c, c - m); });
  plot.Title = "Residuals against predicted";
  plot.XLabel = "predicted C";
  plot.YLabel = "C - M";
  plot.ZeroLine = true;
  return plot;
}

XYPlot ProfilePlot(const FitResult& fit, const TParameterRecord& record, int k, double threshold,
                   const ModelNames& names) {
  XYPlot plot;
  plot.Title = k <= static_cast<int>(names.Parameters.size()) ? names.Parameters[k - 1]
                                                              : "Parameter " + std::to_string(k);
  plot.XLabel = "value";
  plot.YLabel = "objective";
  if (threshold > 0) plot.Threshold = threshold;
  PlotSeries points;
  points.Color = kProgressColor;
  points.Markers = true;
  points.Points = fit.Profile(k);
  plot.Series.push_back(std::move(points));
  if (k >= 1 && k <= Room(record)) {
    if (record.LoFValid[k]) plot.Marks.push_back(record.LoFLimit[k]);
    if (record.HiFValid[k]) plot.Marks.push_back(record.HiFLimit[k]);
  }
  return plot;
}

}  // namespace zelk
