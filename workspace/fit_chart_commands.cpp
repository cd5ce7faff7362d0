// The fit chart's commands: painting with the chart's own model solution, the limit curve
// toggle, export to a picture file and printing.

#include <filesystem>

#include "model/operation.h"
#include "presentation/emf_writer.h"
#include "base/data_file.h"
#include "base/format.h"
#include "base/messages.h"
#include "workspace/workspace.h"

namespace zelk {

namespace {

namespace fs = std::filesystem;

constexpr int kLoLimitColumn = 5, kHiLimitColumn = 6;

}  // namespace

void Workspace::PaintFitChart(Canvas& canvas, int W, int H, bool overlays) {
  const FitChartScene scene = ChartScene();
  DrawChartFrame(canvas, W, H, scene);
  DrawDataMarkers(canvas, W, H, scene);
  DrawModelCurves(Parameters.Value, canvas, W, H);
  if (!overlays) return;
  if (PaintBoundaryChecked) {
    CurveReady = false;
    DrawModelCurves(LimitCurveParams, canvas, W, H);
    CurveReady = false;
  }
  if (DesignModeChecked) {
    const auto count = static_cast<std::size_t>(std::clamp(DesignPointCount, 0, kMaxIndep));
    DrawDesignPoints(canvas, W, H, scene, std::span<const double>(DesignPoints).subspan(1, count),
                     kWhite);
  }
}

void Workspace::DrawModelCurves(const T20Vector& parameters, Canvas& canvas, int W, int H) {
  // Without a library there is no curve; solving would put up its message inside a paint.
  if (Model.LibFileName.empty()) return;
  if (!CurveReady) {
    const std::uint8_t saved = OperationMode;
    OperationMode = kFitChartSolution;
    if (SolveModel(parameters, ChartData) == SolveResult::Solved) CurveReady = true;
    OperationMode = saved;
  }
  if (!CurveReady) return;
  DrawCurves(canvas, W, H, ChartScene());
}

void Workspace::PaintBoundary() {
  PaintBoundaryChecked = !PaintBoundaryChecked;
  if (PaintBoundaryChecked) {
    const ParameterGrid& grid = paramGrids_.PDGrid();
    const int column = grid.CurrentColumn(), row = grid.CurrentRow();
    if ((column == kLoLimitColumn || column == kHiLimitColumn) && row >= 1 &&
        row <= Parameters.Count) {
      LimitCurveParams =
          column == kLoLimitColumn ? Parameters.LoLimitPoints[row] : Parameters.HiLimitPoints[row];
      ui_.ShowPage(Page::FitChart);
    } else {
      PaintBoundaryChecked = false;
    }
  }
  ui_.Repaint(View::FitChart);
}

void Workspace::DesignModeAction() {
  DesignModeChecked = !DesignModeChecked;
  ui_.Repaint(View::FitChart);
}

void Workspace::ExportFitchart() {
  // An untitled model would propose the hidden file ".emf".
  const std::string proposed = ModelFileName.empty()
                                   ? "fitchart.emf"
                                   : fs::path(ModelFileName).replace_extension(".emf").string();
  FileDialogRequest request =
      DocumentDialog(msg::kExportChartTitle, msg::kExportChartFilter, "emf", proposed);
  request.ConfirmOverwrite = true;
  if (const auto chosen = ui_.SaveFileDialog(request)) ExportChartMetafile(*chosen);
}

bool Workspace::ExportChartMetafile(const std::string& path) {
  const auto [W, H] = ui_.FitChartSize();
  const std::string extension = LowercaseExtension(path);
  std::string error;
  if (extension == ".png" || extension == ".svg") {
    error = ui_.WritePicture(path, W, H, [&](Canvas& c) { PaintFitChart(c, W, H, false); });
  } else {
    EmfCanvas emf(W, H, ui_.ReferenceTextMeasure());
    PaintFitChart(emf, W, H, false);
    WriteFileReplacing(path, emf.Finish(), error);
  }
  if (error.empty()) return true;
  ShowError(FillPlaceholders(msg::kChartNotWritten, {path, error}));
  return false;
}

void Workspace::PrintFitChartAction() {
  ui_.PrintPage([this](Canvas& c, int pageW, int pageH) { PrintFitChart(c, pageW, pageH); });
}

void Workspace::PrintFitChart(Canvas& canvas, int pageW, int pageH) {
  const int W = pageW * Prefs.HorizPercentage / 100;
  const int H = pageH * Prefs.VertPercentage / 100;
  PaintFitChart(canvas, W, H, false);
}

}  // namespace zelk
