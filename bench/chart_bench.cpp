// Time of one fit chart repaint of the decay example (16 events in two experiments, 800 x 600
// pixels, the Qt canvas on an image): reusing the computed curve, as resizes and hidden
// branches do, and with the chart's own model solution; and of a metafile export.
//   chart_bench [--quick]

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include "presentation/emf_writer.h"
#include "tests/support/scripted_ui.h"
#include "qtpaint/qt_canvas.h"
#include "workspace/workspace.h"

using namespace zelk;
using Clock = std::chrono::steady_clock;

namespace {

// Milliseconds per call of `paint`, the best of five rounds of `count` calls.
template <class Paint>
double Milliseconds(int count, Paint&& paint) {
  double best = 1e300;
  for (int r = 0; r < 5; ++r) {
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) paint();
    best = std::min(
        best, std::chrono::duration<double, std::milli>(Clock::now() - start).count() / count);
  }
  return best;
}

}  // namespace

int main(int argc, char* argv[]) {
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  test::ScriptedUi ui;
  auto ws = std::make_unique<Workspace>(ui);
  ws->Start();
  if (!ws->ReadDataFile(std::string(EXAMPLES) + "/decay.zkd")) return 1;
  ws->SetDataSaved(true);
  ws->Dimensions().SetText(Dimension::DifEq, "1");
  if (!ws->Model.LoadModelLibrary(std::string(MODEL_DIR) + "/decay.dll", BoxesOf(ui))) return 1;
  ws->SetParameterValue(1, 0.352);

  const int W = 800, H = 600, count = quick ? 3 : 200;
  QImage image(W, H, QImage::Format_RGB32);
  auto paint = [&] {
    image.fill(Qt::white);
    QPainter painter(&image);
    QtCanvas canvas(painter);
    ws->Chart().PaintFitChart(canvas, W, H, true);
  };
  paint();
  if (!ws->Chart().CurveReady) {
    std::fprintf(stderr, "chart_bench: the chart's model solution failed\n");
    return 1;
  }
  const double cached = Milliseconds(count, paint);
  const double solving = Milliseconds(count, [&] {
    ws->Chart().CurveReady = false;
    paint();
  });
  QtTextMeasure measure;
  const double metafile = Milliseconds(count, [&] {
    EmfCanvas emf(W, H, measure);
    ws->Chart().PaintFitChart(emf, W, H, false);
    emf.Finish();
  });
  std::printf("fit chart repaint, %d chart events, %d x %d pixels:\n",
              ws->ChartData.YData.EventCount, W, H);
  std::printf("  reusing the computed curve  %8.3f ms\n", cached);
  std::printf("  solving the chart data set  %8.3f ms\n", solving);
  std::printf("  metafile export (no file)   %8.3f ms\n", metafile);
  return 0;
}
