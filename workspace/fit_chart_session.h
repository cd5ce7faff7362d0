#pragma once
// The fit chart session: painting with the chart's own model solution, the limit curve and
// the designed points as overlays, export to a picture file and printing. Its host (the
// workspace) owns the data sets, the parameters and the model.

#include <array>
#include <string>

#include "base/preferences.h"
#include "estimation/parameter_record.h"
#include "model/model_library.h"
#include "model/solver.h"
#include "presentation/canvas.h"
#include "presentation/fit_chart.h"
#include "workspace/user_interface.h"

namespace zelk {

class ChartHost {
 public:
  virtual ~ChartHost() = default;
  virtual UserInterface& Ui() = 0;
  virtual FitChartScene Scene() const = 0;
  virtual const TParameterRecord& ParameterRecord() const = 0;
  virtual TModel& ModelObject() = 0;
  virtual const std::string& ModelPath() const = 0;
  virtual const TZelkPrefs& Settings() const = 0;
  // Solves the chart's data set for `parameters`, as the chart's own computation.
  virtual SolveResult SolveChart(const T20Vector& parameters) = 0;
  // The current cell of the Parameter Details grid (column, row).
  virtual std::pair<int, int> DetailsCell() const = 0;
  virtual void ShowError(const std::string& text) = 0;
};

class FitChartSession {
 public:
  explicit FitChartSession(ChartHost& host) : host_(host) {}
  FitChartSession(const FitChartSession&) = delete;
  FitChartSession& operator=(const FitChartSession&) = delete;

  bool CurveReady = false;       // the chart data's computed values belong to Value
  T20Vector LimitCurveParams{};  // the parameter vector drawn as the limit curve
  bool PaintBoundaryChecked = false;
  bool DesignModeChecked = false;
  // The experiment design's proposed values of the first independent variable, 1..Count.
  std::array<double, kMaxIndep + 1> DesignPoints{};
  int DesignPointCount = 0;

  // The whole chart on a canvas of W x H device units; the limit curve and the designed
  // points are screen overlays.
  void PaintFitChart(Canvas& canvas, int W, int H, bool overlays);
  // The chart's curves for `parameters`: the chart data set is solved first unless
  // CurveReady says its computed values belong to them. No curve when that fails or no
  // library is loaded.
  void DrawModelCurves(const T20Vector& parameters, Canvas& canvas, int W, int H);
  // "&Paint Limit Curve": on only while the current cell of the details grid is an
  // F-limit of an existing parameter.
  void PaintBoundary();
  void DesignModeAction();
  void ExportFitchart();
  // The chart as the paint box shows it, without overlays, into a picture file: an
  // Enhanced Metafile, or PNG or SVG by the path's extension. False after a message.
  bool ExportChartMetafile(const std::string& path);
  void PrintFitChartAction();
  // The chart in the top left part of a page of pageW x pageH device units, sized by the
  // print extents of the preferences.
  void PrintFitChart(Canvas& canvas, int pageW, int pageH);

 private:
  ChartHost& host_;
};

}  // namespace zelk
