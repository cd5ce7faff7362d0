#include "presentation/fit_chart.h"

#include <cmath>
#include <vector>

#include "model/experiments.h"
#include "base/format.h"

namespace zelk {

namespace {

constexpr double kNarrowestRange = 1e-10;
constexpr TColor kDesignColor = 0x000080;
constexpr int kBranchNumberPoints = 7;
// Positions beyond this many device units are treated as not drawable: no device draws
// that far, and the integer arithmetic of the shapes must not overflow.
constexpr double kDeviceLimit = 1 << 28;

double Width(const std::array<double, 2>& range) { return range[0] - range[1]; }

bool Drawable(const std::array<double, 2>& xRange, const std::array<double, 2>& yRange) {
  return Width(xRange) >= kNarrowestRange && Width(yRange) >= kNarrowestRange;
}

CanvasFont DescriptionFont(const TDescription& d) {
  return {d.FontName, d.Size, d.Color, d.Bold, d.Italic, d.Underline};
}

}  // namespace

ChartGeometry GeometryFor(int W, int H) {
  ChartGeometry g{};
  g.dx = W / 20;
  g.dy = H / 20;
  g.L = 3 * g.dx;
  g.T = 2 * g.dy;
  g.R = W - 2 * g.dx;
  g.B = H - 3 * g.dy;
  g.pw = W - 5 * g.dx;
  g.ph = H - 5 * g.dy;
  g.t = (g.dx + g.dy) / 8;
  g.m = (W + H) / 40;
  return g;
}

double RoundHalfEven(double v) {
  const double floor = std::floor(v);
  const double diff = v - floor;
  if (diff < 0.5) return floor;
  if (diff > 0.5) return floor + 1;
  return std::fmod(floor, 2) == 0 ? floor : floor + 1;
}

std::optional<CanvasPoint> MapToDevice(const ChartGeometry& g, const std::array<double, 2>& xRange,
                                       const std::array<double, 2>& yRange, double x, double y) {
  const double px = RoundHalfEven(g.pw * (x - xRange[1]) / Width(xRange)) + g.L;
  const double py = g.B - RoundHalfEven(g.ph * (y - yRange[1]) / Width(yRange));
  if (!(std::fabs(px) < kDeviceLimit && std::fabs(py) < kDeviceLimit)) return std::nullopt;
  return CanvasPoint{static_cast<int>(px), static_cast<int>(py)};
}

void DrawChartFrame(Canvas& c, int W, int H, const FitChartScene& scene) {
  const ChartGeometry g = GeometryFor(W, H);
  c.SetPen({kBlack, PenStyle::Solid, 1});
  c.Rectangle(g.L, g.T, g.R, g.B);
  c.MoveTo(g.L + g.pw / 2, g.B - 1);
  c.LineTo(g.L + g.pw / 2, g.B - g.t - 1);
  c.MoveTo(g.L, g.T + g.ph / 2);
  c.LineTo(g.L + g.t, g.T + g.ph / 2);

  const TDescription& yAxis = scene.Descriptions[kYAxisDesc];
  const TDescription& xAxis = scene.Descriptions[kXAxisDesc];
  const TDescription& title = scene.Descriptions[kTitleDesc];
  const auto& xr = scene.Chart.XData.Range;
  const auto& yr = scene.Chart.YData.Range;

  c.SetFont(DescriptionFont(yAxis));
  const int right = g.L - g.dx / 2 + 1;
  const std::pair<double, int> yLabels[] = {
      {yr[1], g.B}, {yr[0], g.T}, {(yr[0] + yr[1]) / 2, g.T + g.ph / 2}};
  for (const auto& [value, y] : yLabels) {
    const std::string text = FormatSignificant(value, 3);
    c.TextOut(right - c.TextWidth(text), y - c.TextHeight(text) / 2, text);
  }
  if (yAxis.Active)
    c.TextOut(g.L - g.dx / 3 - c.TextWidth(yAxis.Caption),
              g.T + g.ph / 4 - c.TextHeight(yAxis.Caption) / 2, yAxis.Caption);

  c.SetFont(DescriptionFont(xAxis));
  const std::pair<double, int> xLabels[] = {
      {xr[1], g.L}, {xr[0], g.L + g.pw}, {(xr[0] + xr[1]) / 2, g.L + g.pw / 2}};
  for (const auto& [value, x] : xLabels) {
    const std::string text = FormatSignificant(value, 3);
    c.TextOut(x - c.TextWidth(text) / 2, g.B + g.dy / 3, text);
  }
  if (xAxis.Active)
    c.TextOut(g.L + g.pw / 2 - c.TextWidth(xAxis.Caption) / 2,
              g.B + g.dy / 2 + c.TextHeight(xAxis.Caption), xAxis.Caption);

  c.SetFont(DescriptionFont(title));
  if (title.Active)
    c.TextOut(g.L + g.pw / 2 - c.TextWidth(title.Caption) / 2,
              g.T - g.dy / 3 - c.TextHeight(title.Caption), title.Caption);
}

void DrawMarker(Canvas& c, int shape, int px, int py, int s) {
  const int a = 4 * s / 3, b = 2 * s / 3;
  switch (shape) {
    case kMarkerCircle:
      c.Ellipse(px - s, py - s, px + s, py + s);
      break;
    case kMarkerSquare:
      c.Rectangle(px - s, py - s, px + s, py + s);
      break;
    case kMarkerTriangleUp: {
      const CanvasPoint p[] = {{px, py - a}, {px + s, py + b}, {px - s, py + b}};
      c.Polygon(p);
      break;
    }
    case kMarkerTriangleDown: {
      const CanvasPoint p[] = {{px, py + a}, {px + s, py - b}, {px - s, py - b}};
      c.Polygon(p);
      break;
    }
    case kMarkerDiamond: {
      const CanvasPoint p[] = {{px, py - s}, {px + s, py}, {px, py + s}, {px - s, py}};
      c.Polygon(p);
      break;
    }
    case kMarkerAsterisk:
      c.MoveTo(px, py - s);
      c.LineTo(px, py + s);
      c.MoveTo(px - s, py - s / 2);
      c.LineTo(px + s, py + s / 2);
      c.MoveTo(px + s, py - s / 2);
      c.LineTo(px - s, py + s / 2);
      break;
    default:
      break;
  }
}

namespace {

// Response r's style: the preferences hold 50, which the responses after the 50th reuse.
const TSeriesStyle& SeriesStyleOf(const FitChartScene& scene, int r) {
  return scene.Series[(r - 1) % kSeriesCount + 1];
}

}  // namespace

void DrawDataMarkers(Canvas& c, int W, int H, const FitChartScene& scene) {
  const TDataSet& data = scene.Measured;
  const int dep = data.YData.DepCount, events = data.YData.EventCount;
  if (dep < 1 || events < 1) return;
  const int experiments = CountExperiments(data.XData, events);
  if (!Drawable(data.XData.Range, data.YData.Range)) return;
  const ChartGeometry g = GeometryFor(W, H);
  for (int r = 1; r <= dep; ++r) {
    const TSeriesStyle& style = SeriesStyleOf(scene, r);
    int branch = 0;
    for (int j = 1; j <= events; ++j) {
      if (j >= 2 && data.XData.X[j][1] < data.XData.X[j - 1][1]) ++branch;
      if (!data.YData.Defined[j][r]) continue;
      const auto p = MapToDevice(g, data.XData.Range, data.YData.Range, data.XData.X[j][1],
                                 data.YData.M[j][r]);
      if (!p) continue;
      const int s = style.Weight * g.m / 10;
      c.SetPen({style.LineColor, PenStyle::Solid, 1});
      c.SetBrush({style.FillColor, style.Filled ? BrushStyle::Solid : BrushStyle::Clear});
      if (!scene.Branches.IsBranchVisible(r, branch + 1, experiments)) continue;
      DrawMarker(c, style.Marker, p->X, p->Y, s);
      if (experiments >= 2) {
        CanvasFont number = c.Font();
        number.Size = kBranchNumberPoints;
        number.Color = kWhite;
        number.Bold = number.Italic = number.Underline = false;
        c.SetFont(number);
        const std::string text = std::to_string(branch + 1);
        c.TextOut(p->X - c.TextWidth(text) / 2, p->Y - c.TextHeight(text) / 2, text);
      }
    }
  }
}

void DrawCurves(Canvas& c, int W, int H, const FitChartScene& scene) {
  const TDataSet& chart = scene.Chart;
  const int experiments = CountExperiments(scene.Measured.XData, scene.Measured.YData.EventCount);
  if (!Drawable(chart.XData.Range, chart.YData.Range)) return;
  const ChartGeometry g = GeometryFor(W, H);
  std::vector<CanvasPoint> points;
  points.reserve(kMaxEvents);
  auto flush = [&](int r, int branch) {
    if (points.size() >= 2 && scene.Branches.IsBranchVisible(r, branch + 1, experiments))
      c.Polyline(points);
    points.clear();
  };
  for (int r = 1; r <= chart.YData.DepCount; ++r) {
    const TSeriesStyle& style = SeriesStyleOf(scene, r);
    const PenStyle pen = style.LineStyle <= kLineDashDotDot ? static_cast<PenStyle>(style.LineStyle)
                                                            : PenStyle::Solid;
    c.SetPen({style.LineColor, pen, style.LineWidth});
    c.SetBrush({style.FillColor, BrushStyle::Clear});
    int branch = 0;
    for (int j = 1; j <= chart.YData.EventCount; ++j) {
      if (j > 1 && !SameExperiment(chart.XData, j - 1, j)) {
        flush(r, branch);
        ++branch;
      }
      const auto p = MapToDevice(g, chart.XData.Range, chart.YData.Range, chart.XData.X[j][1],
                                 chart.YData.C[j][r]);
      if (p) {
        points.push_back(*p);
      } else {
        // A value the device cannot hold (infinite, or far off the axis) breaks the line
        // rather than joining its neighbours across it.
        flush(r, branch);
      }
    }
    flush(r, branch);
  }
}

void DrawDesignPoints(Canvas& c, int W, int H, const FitChartScene& scene,
                      std::span<const double> points, TColor background) {
  const TDataSet& data = scene.Measured;
  if (data.YData.DepCount <= 0 || data.YData.EventCount <= 0) return;
  const TDescription& yAxis = scene.Descriptions[kYAxisDesc];
  c.SetFont({yAxis.FontName, yAxis.Size * 2 / 3, kDesignColor, false, false, false});
  const ChartGeometry g = GeometryFor(W, H);
  const double xr = Width(data.XData.Range);
  const int top = 7 * g.dy / 4;
  for (const double point : points) {
    if (xr < kNarrowestRange) return;
    const double x = RoundHalfEven(g.pw * (point - data.XData.Range[1]) / xr) + g.L;
    if (!(std::fabs(x) < kDeviceLimit)) continue;
    const int px = static_cast<int>(x);
    if (px < g.L || px > g.R) continue;  // off the axis: it would land on the title or margins
    c.SetPen({kDesignColor, PenStyle::DashDotDot, c.Pen().Width});
    c.MoveTo(px, top);
    c.LineTo(px, g.B);
    const std::string label = FormatSignificant(point, 4);
    const int w = c.TextWidth(label), h = c.TextHeight(label);
    c.SetPen({kDesignColor, PenStyle::Solid, c.Pen().Width});
    c.SetBrush({background, BrushStyle::Solid});
    c.Rectangle(px - w / 2 - 3, top - h - 4, px + w / 2 + 3, top);
    c.TextOut(px - w / 2, top - h - 2, label);
  }
}

}  // namespace zelk
