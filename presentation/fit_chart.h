#pragma once
// The fit chart: measured values as markers and model responses as curves against the first
// independent variable, in one frame with three scale labels per axis. Every position derives
// from the canvas's width and height, so the same picture comes out on every device.

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "presentation/canvas.h"
#include "presentation/visibility_tree.h"
#include "base/data_set.h"
#include "base/preferences.h"
#include "model/model_names.h"

namespace zelk {

// The integers of one drawing of W x H device units.
struct ChartGeometry {
  int dx, dy;  // a twentieth of the width and of the height
  int L, T;    // left and top edge of the plot frame
  int R, B;    // right and bottom edge
  int pw, ph;  // plot width R - L and height B - T
  int t;       // length of the two mid ticks
  int m;       // marker unit
};
ChartGeometry GeometryFor(int W, int H);

// What the chart is drawn from.
struct FitChartScene {
  const TDataSet& Measured;  // markers, and the branch count of the visibility tree
  const TDataSet& Chart;     // frame labels and curves (computed values)
  const TSeriesStyles& Series;
  const TDescriptions& Descriptions;
  const VisibilityTree& Branches;
  const ModelNames* Names = nullptr;  // the legend's and the y caption's; "Y[r]" without
  bool LogY = false;  // the y axis is logarithmic: values at or below 0 are not drawn
  bool Legend = false;  // DrawLegend draws the responses' names
};

// Nearest integer, halves to the even neighbour.
double RoundHalfEven(double v);

// Device position of (x, y) for ranges given as range pairs (largest, smallest). Nothing is
// clipped; a position that does not fit the device's integers gives nothing.
std::optional<CanvasPoint> MapToDevice(const ChartGeometry& g, const std::array<double, 2>& xRange,
                                       const std::array<double, 2>& yRange, double x, double y);

// Frame, mid ticks, scale labels and the active captions; an empty axis caption is made from
// the names ("X[1]", the responses' names).
void DrawChartFrame(Canvas& canvas, int W, int H, const FitChartScene& scene);
// The responses' names beside a sample of their marker and line, in a box at the top right
// inside the frame; as many as fit, the rest counted.
void DrawLegend(Canvas& canvas, int W, int H, const FitChartScene& scene);
// The part of a polyline inside the rectangle (x1, y1)-(x2, y2), as the pieces it falls into.
std::vector<std::vector<CanvasPoint>> ClipPolyline(std::span<const CanvasPoint> points, int x1,
                                                   int y1, int x2, int y2);
// The measured values, one marker per defined value, numbered by branch when there are two
// or more experiments.
void DrawDataMarkers(Canvas& canvas, int W, int H, const FitChartScene& scene);
// One marker of `shape` with half-size s at (px, py); shapes beyond the asterisk draw nothing.
void DrawMarker(Canvas& canvas, int shape, int px, int py, int s);
// The curves of the chart data set's computed values, one piece per experiment, clipped to
// the frame; the caller has solved the model for them.
void DrawCurves(Canvas& canvas, int W, int H, const FitChartScene& scene);
// The proposed points of an experiment design as labelled vertical lines.
void DrawDesignPoints(Canvas& canvas, int W, int H, const FitChartScene& scene,
                      std::span<const double> points, TColor background);

}  // namespace zelk
