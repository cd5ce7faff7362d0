// The plots of a fit on the recording canvas: axes, scales, the threshold and the limits,
// and what the pictures take from a fit result.
#include "presentation/xy_plot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "support/recording_canvas.h"
#include "workspace/fit_plots.h"

namespace zelk {
namespace {

using test::Op;
using test::RecordingCanvas;

TEST(XYPlot, NiceTicksAreRoundAndCoverTheRange) {
  struct Case {
    double low, high;
    std::vector<double> ticks;
  } cases[] = {{0, 1, {0, 0.25, 0.5, 0.75, 1}},
               {0.13, 0.97, {0.25, 0.5, 0.75}},
               {-3, 7, {-2.5, 0, 2.5, 5}},
               {1e6, 4e6, {1e6, 2e6, 3e6, 4e6}},
               {-4, 2, {-4, -3, -2, -1, 0, 1, 2}}};
  for (const Case& c : cases) {
    const std::vector<double> got = NiceTicks(c.low, c.high, c.low == -4 ? 6 : 4);
    ASSERT_EQ(got.size(), c.ticks.size()) << c.low;
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], c.ticks[i], 1e-12);
  }
  EXPECT_TRUE(NiceTicks(1, 1, 4).empty());
}

TEST(XYPlot, ALogScaleLeavesOutWhatIsNotPositiveAndLabelsDecades) {
  XYPlot plot;
  plot.LogY = true;
  plot.Title = "Optimize LM";
  plot.Series.push_back({{{0, 100}, {10, 1}, {20, 0.01}, {30, 0}}});
  RecordingCanvas canvas;
  DrawXYPlot(canvas, 300, 200, plot);
  const std::vector<test::Drawn> lines = canvas.Of(Op::Polyline);
  ASSERT_EQ(lines.size(), 1u);
  const std::vector<CanvasPoint>& p = lines[0].Points;
  ASSERT_EQ(p.size(), 3u);  // the 0 is left out
  // Equal ratios are equal distances.
  EXPECT_NEAR(p[1].Y - p[0].Y, p[2].Y - p[1].Y, 1);
  const std::vector<std::string> texts = canvas.Texts();
  for (const char* label : {"Optimize LM", "1E-2", "1E0", "1E2"})
    EXPECT_NE(std::find(texts.begin(), texts.end(), label), texts.end()) << label;
}

// A search that found nothing better draws a flat line; its axis still has numbers.
TEST(XYPlot, AFlatLogCurveStillGetsDecadesOnItsAxis) {
  XYPlot plot;
  plot.LogY = true;
  plot.Series.push_back({{{0, 0.0025}, {80000, 0.0025}}});
  RecordingCanvas canvas;
  DrawXYPlot(canvas, 300, 200, plot);
  const std::vector<std::string> texts = canvas.Texts();
  for (const char* label : {"1E-3", "1E-2"})
    EXPECT_NE(std::find(texts.begin(), texts.end(), label), texts.end()) << label;
}

TEST(XYPlot, WithoutPointsItSaysSo) {
  XYPlot empty;
  empty.Title = "Parameter 1";
  RecordingCanvas canvas;
  DrawXYPlot(canvas, 300, 200, empty);
  EXPECT_EQ(canvas.Texts(), (std::vector<std::string>{"Parameter 1", kPlotNoData}));
}

// A profile: its probes by value, the threshold dashed across, the limits dotted.
TEST(FitPlots, AProfileShowsItsProbesThresholdAndLimits) {
  FitResult fit;
  fit.Profiles.resize(2);
  fit.Profiles[1] = {{1.0, 0.5}, {1.4, 0.9}, {0.7, 0.8}, {1.6, 1.5}};
  TParameterRecord record = StartParameterRecord();
  record.Count = 1;
  record.LoFLimit[1] = 0.7;
  record.HiFLimit[1] = 1.4;
  record.LoFValid[1] = record.HiFValid[1] = true;
  const XYPlot plot = ProfilePlot(fit, record, 1, 1.0);
  ASSERT_EQ(plot.Series.size(), 1u);
  EXPECT_EQ(plot.Series[0].Points.front().first, 0.7);
  EXPECT_EQ(plot.Series[0].Points.back().first, 1.6);
  EXPECT_EQ(plot.Marks, (std::vector<double>{0.7, 1.4}));
  EXPECT_EQ(ProfilePlot(fit, record, 1, 1.0, {{"Km"}, {}, {}}).Title, "Km");
  RecordingCanvas canvas;
  DrawXYPlot(canvas, 300, 200, plot);
  int dashed = 0, dotted = 0;
  for (const test::Drawn& d : canvas.Of(Op::LineTo)) {
    dashed += d.Pen.Style == PenStyle::Dash;
    dotted += d.Pen.Style == PenStyle::Dot;
  }
  EXPECT_EQ(dashed, 1);
  EXPECT_EQ(dotted, 2);
  EXPECT_EQ(canvas.Of(Op::Ellipse).size(), 4u);
}

// While a search runs, the progress goes on to the present at the best so far.
TEST(FitPlots, TheProgressRunsOnToThePresentWhileASearchRuns) {
  FitResult fit;
  fit.Search = kLMSearch;
  fit.ProgressBase = 100;
  fit.Progress = {{0, 10}, {25, 2}};
  EXPECT_EQ(ProgressPlot(fit, 180, false, 2).Series[0].Points.size(), 2u);
  const XYPlot running = ProgressPlot(fit, 180, true, 2);
  EXPECT_EQ(running.Series[0].Points.back(), (std::pair<double, double>{80, 2}));
  EXPECT_EQ(running.Title, "Optimize LM");
  EXPECT_TRUE(running.LogY);
}

// Residuals against time: one series per experiment (time starting again), missing values
// left out, the zero line drawn.
TEST(FitPlots, ResidualsAgainstTimeTellTheExperimentsApart) {
  auto data = std::make_unique<TDataSet>();
  const double times[] = {0, 1, 2, 0, 1};
  data->YData.EventCount = 5;
  for (int e = 1; e <= 5; ++e) {
    data->XData.X[e][1] = times[e - 1];
    data->XData.Defined[e][1] = true;
    data->YData.Defined[e][1] = e != 2;
    data->YData.M[e][1] = 1;
    data->YData.C[e][1] = 1 + 0.1 * e;
  }
  const XYPlot plot = ResidualPlot(*data, 1);
  ASSERT_EQ(plot.Series.size(), 2u);
  EXPECT_EQ(plot.Series[0].Points.size(), 2u);  // event 2 is missing
  EXPECT_NE(plot.Series[0].Color, plot.Series[1].Color);
  EXPECT_NEAR(plot.Series[1].Points[1].second, 0.5, 1e-12);
  EXPECT_EQ(plot.Title, "Y[1] residuals");
  EXPECT_TRUE(plot.ZeroLine);
  EXPECT_EQ(ResidualPlot(*data, 1, {{}, {"Glucose"}, {}}).Title, "Glucose residuals");
}

}  // namespace
}  // namespace zelk
