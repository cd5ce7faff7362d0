// The fit chart's commands: painting with the chart's own model solution, the limit curve
// toggle, export to a picture file and printing.

#include "workspace/fit_chart_session.h"

#include <filesystem>

#include "base/data_file.h"
#include "base/format.h"
#include "base/messages.h"
#include "estimation/operation.h"
#include "presentation/emf_writer.h"
#include "workspace/workspace.h"  // DocumentDialog, LowercaseExtension

namespace zelk {

namespace {

namespace fs = std::filesystem;

constexpr int kLoLimitColumn = 5, kHiLimitColumn = 6;

}  // namespace

void FitChartSession::PaintFitChart(Canvas& canvas, int W, int H, bool overlays) {
  const FitChartScene scene = host_.Scene();
  DrawChartFrame(canvas, W, H, scene);
  DrawDataMarkers(canvas, W, H, scene);
  DrawModelCurves(host_.ParameterRecord().Value, canvas, W, H);
  DrawLegend(canvas, W, H, scene);
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

void FitChartSession::DrawModelCurves(const T20Vector& parameters, Canvas& canvas, int W, int H) {
  // Without a library there is no curve; solving would put up its message inside a paint.
  if (host_.ModelObject().LibFileName.empty()) return;
  if (!CurveReady && host_.SolveChart(parameters) == SolveResult::Solved) CurveReady = true;
  if (!CurveReady) return;
  DrawCurves(canvas, W, H, host_.Scene());
}

void FitChartSession::PaintBoundary() {
  PaintBoundaryChecked = !PaintBoundaryChecked;
  if (PaintBoundaryChecked) {
    const auto [column, row] = host_.DetailsCell();
    const TParameterRecord& p = host_.ParameterRecord();
    if ((column == kLoLimitColumn || column == kHiLimitColumn) && row >= 1 && row <= p.Count) {
      LimitCurveParams = column == kLoLimitColumn ? p.LoLimitPoints[row] : p.HiLimitPoints[row];
      host_.Ui().ShowPage(Page::FitChart);
    } else {
      PaintBoundaryChecked = false;
    }
  }
  host_.Ui().Repaint(View::FitChart);
}

void FitChartSession::DesignModeAction() {
  DesignModeChecked = !DesignModeChecked;
  host_.Ui().Repaint(View::FitChart);
}

void FitChartSession::ExportFitchart() {
  // An untitled model would propose the hidden file ".emf".
  const std::string& model = host_.ModelPath();
  const std::string proposed =
      model.empty() ? "fitchart.emf" : fs::path(model).replace_extension(".emf").string();
  FileDialogRequest request =
      DocumentDialog(msg::kExportChartTitle, msg::kExportChartFilter, "emf", proposed);
  request.ConfirmOverwrite = true;
  if (const auto chosen = host_.Ui().SaveFileDialog(request)) ExportChartMetafile(*chosen);
}

bool FitChartSession::ExportChartMetafile(const std::string& path) {
  UserInterface& ui = host_.Ui();
  // Named, not a structured binding: some compilers refuse to capture one in a lambda.
  const std::pair<int, int> size = ui.FitChartSize();
  const int W = size.first, H = size.second;
  const std::string extension = LowercaseExtension(path);
  std::string error;
  if (extension == ".png" || extension == ".svg") {
    error = ui.WritePicture(path, W, H, [&](Canvas& c) { PaintFitChart(c, W, H, false); });
  } else {
    EmfCanvas emf(W, H, ui.ReferenceTextMeasure());
    PaintFitChart(emf, W, H, false);
    WriteFileReplacing(path, emf.Finish(), error);
  }
  if (error.empty()) return true;
  host_.ShowError(FillPlaceholders(msg::kChartNotWritten, {path, error}));
  return false;
}

void FitChartSession::PrintFitChartAction() {
  host_.Ui().PrintPage([this](Canvas& c, int pageW, int pageH) { PrintFitChart(c, pageW, pageH); });
}

void FitChartSession::PrintFitChart(Canvas& canvas, int pageW, int pageH) {
  const int W = pageW * host_.Settings().HorizPercentage / 100;
  const int H = pageH * host_.Settings().VertPercentage / 100;
  PaintFitChart(canvas, W, H, false);
}

}  // namespace zelk
