#include "presentation/fit_chart.h"

#include <algorithm>
#include <cmath>
#include <limits>
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

constexpr int kLegendPoints = 9;
constexpr int kCaptionNames = 3;  // responses named in a y caption made from the names

// The y axis as drawn: its range (largest, smallest), in decades when logarithmic.
struct YAxis {
  std::array<double, 2> Range;
  bool Log = false;
  double Map(double y) const {
    if (!Log) return y;
    return y > 0 ? std::log10(y) : std::numeric_limits<double>::quiet_NaN();
  }
  double Value(double mapped) const { return Log ? std::pow(10.0, mapped) : mapped; }
};

YAxis YAxisOf(const FitChartScene& scene, const std::array<double, 2>& range) {
  if (!scene.LogY) return {range, false};
  // The smallest positive measurement (or range end) is the bottom of a logarithmic axis;
  // a curve reaching lower is cut at the frame.
  double floor = range[1] > 0 ? range[1] : std::numeric_limits<double>::infinity();
  const TYData& y = scene.Measured.YData;
  for (int j = 1; j <= y.EventCount; ++j)
    for (int r = 1; r <= y.DepCount; ++r)
      if (y.Defined[j][r] && y.M[j][r] > 0) floor = std::min(floor, y.M[j][r]);
  if (!std::isfinite(floor)) return {{0, 0}, true};  // nothing positive: nothing to draw
  double hi = std::log10(std::max(range[0], floor)), lo = std::log10(floor);
  if (hi - lo < kNarrowestRange) {
    hi += 0.5;
    lo -= 0.5;
  }
  return {{hi, lo}, true};
}

std::string YCaptionFromNames(const FitChartScene& scene) {
  const ModelNames none;
  const ModelNames& names = scene.Names ? *scene.Names : none;
  const int dep = scene.Measured.YData.DepCount;
  std::string text;
  for (int r = 1; r <= std::min(dep, kCaptionNames); ++r)
    text += (r > 1 ? ", " : "") + ResponseLabel(names, r);
  if (dep > kCaptionNames) text += ", ...";
  return text;
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
  const YAxis axis = YAxisOf(scene, scene.Chart.YData.Range);
  const auto& yr = axis.Range;

  c.SetFont(DescriptionFont(yAxis));
  const int right = g.L - g.dx / 2 + 1;
  const std::pair<double, int> yLabels[] = {
      {yr[1], g.B}, {yr[0], g.T}, {(yr[0] + yr[1]) / 2, g.T + g.ph / 2}};
  for (const auto& [value, y] : yLabels) {
    const std::string text = FormatSignificant(axis.Value(value), 3);
    c.TextOut(right - c.TextWidth(text), y - c.TextHeight(text) / 2, text);
  }
  if (yAxis.Active) {
    const std::string caption = yAxis.Caption.empty() ? YCaptionFromNames(scene) : yAxis.Caption;
    c.TextOut(std::max(0, g.L - g.dx / 3 - c.TextWidth(caption)),
              g.T + g.ph / 4 - c.TextHeight(caption) / 2, caption);
  }

  c.SetFont(DescriptionFont(xAxis));
  const std::pair<double, int> xLabels[] = {
      {xr[1], g.L}, {xr[0], g.L + g.pw}, {(xr[0] + xr[1]) / 2, g.L + g.pw / 2}};
  for (const auto& [value, x] : xLabels) {
    const std::string text = FormatSignificant(value, 3);
    c.TextOut(x - c.TextWidth(text) / 2, g.B + g.dy / 3, text);
  }
  if (xAxis.Active) {
    const std::string caption = xAxis.Caption.empty() ? std::string("X[1]") : xAxis.Caption;
    c.TextOut(g.L + g.pw / 2 - c.TextWidth(caption) / 2, g.B + g.dy / 2 + c.TextHeight(caption),
              caption);
  }

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
  const YAxis axis = YAxisOf(scene, data.YData.Range);
  if (!Drawable(data.XData.Range, axis.Range)) return;
  const ChartGeometry g = GeometryFor(W, H);
  for (int r = 1; r <= dep; ++r) {
    const TSeriesStyle& style = SeriesStyleOf(scene, r);
    int branch = 0;
    for (int j = 1; j <= events; ++j) {
      if (j >= 2 && data.XData.X[j][1] < data.XData.X[j - 1][1]) ++branch;
      if (!data.YData.Defined[j][r]) continue;
      const auto p = MapToDevice(g, data.XData.Range, axis.Range, data.XData.X[j][1],
                                 axis.Map(data.YData.M[j][r]));
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
  const YAxis axis = YAxisOf(scene, chart.YData.Range);
  if (!Drawable(chart.XData.Range, axis.Range)) return;
  const ChartGeometry g = GeometryFor(W, H);
  std::vector<CanvasPoint> points;
  points.reserve(kMaxEvents);
  auto flush = [&](int r, int branch) {
    if (points.size() >= 2 && scene.Branches.IsBranchVisible(r, branch + 1, experiments))
      for (const auto& piece : ClipPolyline(points, g.L, g.T, g.R, g.B)) c.Polyline(piece);
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
      const auto p = MapToDevice(g, chart.XData.Range, axis.Range, chart.XData.X[j][1],
                                 axis.Map(chart.YData.C[j][r]));
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

std::vector<std::vector<CanvasPoint>> ClipPolyline(std::span<const CanvasPoint> points, int x1,
                                                   int y1, int x2, int y2) {
  std::vector<std::vector<CanvasPoint>> pieces;
  std::vector<CanvasPoint> piece;
  const auto close = [&] {
    if (piece.size() >= 2) pieces.push_back(std::move(piece));
    piece.clear();
  };
  for (std::size_t i = 0; i + 1 < points.size(); ++i) {
    // Liang-Barsky: the segment's parameter interval [t0, t1] inside the rectangle.
    const double ax = points[i].X, ay = points[i].Y;
    const double dx = points[i + 1].X - ax, dy = points[i + 1].Y - ay;
    double t0 = 0, t1 = 1;
    const auto inside = [&](double p, double q) {
      if (p == 0) return q >= 0;
      const double t = q / p;
      if (p < 0) {
        if (t > t1) return false;
        t0 = std::max(t0, t);
      } else {
        if (t < t0) return false;
        t1 = std::min(t1, t);
      }
      return true;
    };
    if (!(inside(-dx, ax - x1) && inside(dx, x2 - ax) && inside(-dy, ay - y1) &&
          inside(dy, y2 - ay))) {
      close();
      continue;
    }
    const auto at = [&](double t) {
      return CanvasPoint{static_cast<int>(std::lround(ax + t * dx)),
                         static_cast<int>(std::lround(ay + t * dy))};
    };
    if (t0 > 0 || piece.empty()) {
      close();
      piece.push_back(at(t0));
    }
    piece.push_back(at(t1));
    if (t1 < 1) close();
  }
  close();
  return pieces;
}

void DrawLegend(Canvas& c, int W, int H, const FitChartScene& scene) {
  const int dep = scene.Measured.YData.DepCount;
  if (!scene.Legend || dep < 1 || scene.Measured.YData.EventCount < 1) return;
  const ChartGeometry g = GeometryFor(W, H);
  const ModelNames none;
  const ModelNames& names = scene.Names ? *scene.Names : none;
  c.SetFont({scene.Descriptions[kXAxisDesc].FontName, kLegendPoints, kBlack, false, false, false});
  const int row = c.TextHeight("Xg") + 2;
  const int pad = row / 3, sample = 3 * row;
  // As many rows as the frame holds; the last then counts the responses left out.
  const int fit = std::max(1, (g.ph - 2 * pad) / row);
  const int shown = dep <= fit ? dep : fit - 1;
  std::vector<std::string> labels;
  for (int r = 1; r <= shown; ++r) labels.push_back(ResponseLabel(names, r));
  if (shown < dep) labels.push_back("+" + std::to_string(dep - shown) + " more");
  int text = 0;
  for (const std::string& label : labels) text = std::max(text, c.TextWidth(label));
  const int right = g.R - pad, top = g.T + pad;
  const int left = std::max(g.L + pad, right - (sample + text + 3 * pad));
  c.SetPen({kBlack, PenStyle::Solid, 1});
  c.SetBrush({kWhite, BrushStyle::Solid});
  c.Rectangle(left, top, right, top + static_cast<int>(labels.size()) * row + 2 * pad);
  for (int i = 0; i < static_cast<int>(labels.size()); ++i) {
    const int y = top + pad + i * row, mid = y + row / 2;
    if (i < shown) {
      const TSeriesStyle& style = SeriesStyleOf(scene, i + 1);
      c.SetPen({style.LineColor, PenStyle::Solid, std::max(1, style.LineWidth)});
      c.MoveTo(left + pad, mid);
      c.LineTo(left + pad + sample, mid);
      c.SetPen({style.LineColor, PenStyle::Solid, 1});
      c.SetBrush({style.FillColor, style.Filled ? BrushStyle::Solid : BrushStyle::Clear});
      DrawMarker(c, style.Marker, left + pad + sample / 2, mid,
                 std::max(2, std::min(style.Weight * g.m / 10, row / 2 - 1)));
    }
    c.SetBrush({kWhite, BrushStyle::Clear});
    c.TextOut(left + 2 * pad + sample, mid - c.TextHeight(labels[i]) / 2, labels[i]);
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
