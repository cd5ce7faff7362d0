#include "presentation/xy_plot.h"

#include <algorithm>
#include <cmath>

#include "base/format.h"

namespace zelk {

namespace {

struct Range {
  double Low = 0, High = 0;
  bool Empty = true;
  void Take(double v) {
    if (!std::isfinite(v)) return;
    if (Empty || v < Low) Low = v;
    if (Empty || v > High) High = v;
    Empty = false;
  }
  // A range of one value gets some width around it; `margin` of the width is added on both
  // sides, so that no line runs along the frame.
  void Widen(double margin) {
    if (!(High > Low)) {
      const double pad = Low != 0 ? std::fabs(Low) * 0.1 : 1;
      Low -= pad;
      High += pad;
    }
    const double pad = (High - Low) * margin;
    Low -= pad;
    High += pad;
  }
};

std::string TickText(double v) { return FormatGeneral(std::fabs(v) < 1e-300 ? 0 : v, 4); }

}  // namespace

std::vector<double> NiceTicks(double low, double high, int count) {
  std::vector<double> ticks;
  if (!(high > low) || count < 1) return ticks;
  const double raw = (high - low) / count;
  const double magnitude = std::pow(10, std::floor(std::log10(raw)));
  double step = magnitude;
  for (const double f : {1.0, 2.0, 2.5, 5.0, 10.0})
    if (raw <= f * magnitude) {
      step = f * magnitude;
      break;
    }
  for (double t = std::ceil(low / step) * step; t <= high + step * 1e-9; t += step)
    ticks.push_back(std::fabs(t) < step * 1e-9 ? 0 : t);
  return ticks;
}

void DrawXYPlot(Canvas& canvas, int W, int H, const XYPlot& plot) {
  canvas.SetBrush({kWhite, BrushStyle::Solid});
  canvas.SetPen({kWhite});
  canvas.Rectangle(0, 0, W, H);
  canvas.SetBrush({kWhite, BrushStyle::Clear});
  canvas.SetPen({kBlack});
  const int text = std::max(canvas.TextHeight("0"), 1);
  canvas.TextOut(std::max(0, (W - canvas.TextWidth(plot.Title)) / 2), 2, plot.Title);

  auto yOf = [&](double y) { return plot.LogY ? std::log10(y) : y; };
  Range xs, ys;
  for (const PlotSeries& s : plot.Series)
    for (const auto& [x, y] : s.Points) {
      if (plot.LogY && !(y > 0)) continue;
      xs.Take(x);
      ys.Take(yOf(y));
    }
  if (xs.Empty) {
    canvas.TextOut(std::max(0, (W - canvas.TextWidth(kPlotNoData)) / 2), H / 2, kPlotNoData);
    return;
  }
  for (double m : plot.Marks) xs.Take(m);
  if (plot.Threshold && (!plot.LogY || *plot.Threshold > 0)) ys.Take(yOf(*plot.Threshold));
  if (plot.ZeroLine && !plot.LogY) ys.Take(0);
  xs.Widen(0.02);
  ys.Widen(0.06);
  // A log axis with no decade inside its range would carry no number: it spans the decades
  // around its values instead.
  if (plot.LogY && std::floor(ys.High) < ys.Low) {
    ys.Low = std::floor(ys.Low);
    ys.High = std::ceil(ys.High);
  }

  // The frame: room for the numbers on the left and below, the labels outside them.
  const std::vector<double> yTicks =
      plot.LogY ? NiceTicks(std::floor(ys.Low), std::ceil(ys.High),
                            std::max(1, static_cast<int>(std::ceil(ys.High) - std::floor(ys.Low))))
                : NiceTicks(ys.Low, ys.High, 4);
  int numberWidth = 0;
  for (double t : yTicks)
    numberWidth = std::max(numberWidth, canvas.TextWidth(plot.LogY ? "1E" + TickText(t) : TickText(t)));
  const int left = numberWidth + text + 8, right = W - 8;
  const int top = 2 * text + 10, bottom = H - 2 * text - 8;
  if (right - left < 20 || bottom - top < 20) return;
  canvas.Rectangle(left, top, right + 1, bottom + 1);
  auto px = [&](double x) {
    return left + static_cast<int>(std::lround((x - xs.Low) / (xs.High - xs.Low) * (right - left)));
  };
  auto py = [&](double y) {
    return bottom - static_cast<int>(std::lround((y - ys.Low) / (ys.High - ys.Low) * (bottom - top)));
  };
  for (double t : NiceTicks(xs.Low, xs.High, 4)) {
    const int x = px(t);
    canvas.MoveTo(x, bottom);
    canvas.LineTo(x, bottom + 4);
    const std::string label = TickText(t);
    canvas.TextOut(x - canvas.TextWidth(label) / 2, bottom + 5, label);
  }
  for (double t : yTicks) {
    if (t < ys.Low - 1e-9 || t > ys.High + 1e-9) continue;
    const int y = py(t);
    canvas.MoveTo(left - 4, y);
    canvas.LineTo(left, y);
    const std::string label = plot.LogY ? "1E" + TickText(t) : TickText(t);
    canvas.TextOut(left - 6 - canvas.TextWidth(label), y - text / 2, label);
  }
  canvas.TextOut((left + right - canvas.TextWidth(plot.XLabel)) / 2, bottom + text + 6,
                 plot.XLabel);
  canvas.TextOut(2, text + 5, plot.YLabel);

  if (plot.ZeroLine && !plot.LogY && ys.Low <= 0 && ys.High >= 0) {
    canvas.MoveTo(left, py(0));
    canvas.LineTo(right, py(0));
  }
  if (plot.Threshold && (!plot.LogY || *plot.Threshold > 0)) {
    canvas.SetPen({0x0000C0, PenStyle::Dash});
    canvas.MoveTo(left, py(yOf(*plot.Threshold)));
    canvas.LineTo(right, py(yOf(*plot.Threshold)));
  }
  if (plot.Diagonal && !plot.LogY) {
    const double from = std::max(xs.Low, ys.Low), to = std::min(xs.High, ys.High);
    if (from < to) {
      canvas.SetPen({0x808080, PenStyle::Dash});
      canvas.MoveTo(px(from), py(from));
      canvas.LineTo(px(to), py(to));
    }
  }
  canvas.SetPen({0x008000, PenStyle::Dot});
  for (double m : plot.Marks) {
    canvas.MoveTo(px(m), top);
    canvas.LineTo(px(m), bottom);
  }
  for (const PlotSeries& s : plot.Series) {
    std::vector<CanvasPoint> points;
    for (const auto& [x, y] : s.Points)
      if (!plot.LogY || y > 0) points.push_back({px(x), py(yOf(y))});
    canvas.SetPen({s.Color});
    if (s.Lines && points.size() > 1) canvas.Polyline(points);
    if (s.Markers || points.size() == 1) {
      canvas.SetBrush({s.Color, BrushStyle::Solid});
      for (const CanvasPoint& p : points) canvas.Ellipse(p.X - 2, p.Y - 2, p.X + 3, p.Y + 3);
      canvas.SetBrush({kWhite, BrushStyle::Clear});
    }
  }
  canvas.SetPen({kBlack});
  // The named series, top right inside the frame, each in its colour.
  int row = 0;
  for (const PlotSeries& s : plot.Series) {
    if (s.Name.empty()) continue;
    const int y = top + 4 + row++ * (text + 2);
    if (y + text > bottom) break;
    const int x = right - 6 - canvas.TextWidth(s.Name);
    canvas.SetBrush({s.Color, BrushStyle::Solid});
    canvas.SetPen({s.Color});
    canvas.Ellipse(x - 9, y + text / 2 - 2, x - 4, y + text / 2 + 3);
    canvas.SetBrush({kWhite, BrushStyle::Clear});
    canvas.TextOut(x, y, s.Name);
  }
  canvas.SetPen({kBlack});
}

}  // namespace zelk
