#pragma once
// A small XY plot drawn on a Canvas: axes with ticks and numbers, a title, series of points
// joined by lines or shown as markers, a horizontal threshold and vertical marks. The
// progress of a search, the F-limit profiles and the residuals are drawn with it.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "presentation/canvas.h"

namespace zelk {

struct PlotSeries {
  std::vector<std::pair<double, double>> Points;  // (x, y), in the order to join them
  TColor Color = kBlack;
  bool Lines = true;
  bool Markers = false;
  std::string Name{};  // named series are listed in a legend
};

struct XYPlot {
  std::string Title, XLabel, YLabel;
  bool LogY = false;  // values at or below 0 are left out
  std::vector<PlotSeries> Series;
  std::optional<double> Threshold;  // a dashed horizontal line
  std::vector<double> Marks;        // dotted vertical lines
  bool ZeroLine = false;            // a solid line at y = 0 when it is in range
  bool Diagonal = false;            // a dashed line y = x where the two ranges meet
};

// The ticks of an axis over [low, high]: round numbers, about `count` of them.
std::vector<double> NiceTicks(double low, double high, int count);

// Draws `plot` into the box (0, 0)-(W, H); with no point to show, the title and "No data yet."
void DrawXYPlot(Canvas& canvas, int W, int H, const XYPlot& plot);

inline constexpr const char* kPlotNoData = "No data yet.";

}  // namespace zelk
