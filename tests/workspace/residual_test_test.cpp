#include "estimation/residual_test.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/format.h"
#include "base/messages.h"
#include "estimation/quantiles.h"
#include "presentation/residual_graph.h"
#include "support/model_fixture.h"
#include "support/recording_canvas.h"

namespace zelk {
namespace {

// A response block whose residuals C - M are `e`, one response per list.
TYData Residuals(std::initializer_list<std::vector<double>> responses) {
  TYData y;
  y.DepCount = static_cast<int>(responses.size());
  int r = 0;
  for (const std::vector<double>& e : responses) {
    ++r;
    y.EventCount = static_cast<int>(e.size());
    for (std::size_t j = 1; j <= e.size(); ++j) {
      y.M[j][r] = 10;
      y.C[j][r] = 10 + e[j - 1];
    }
  }
  return y;
}

TEST(ResidualTest, TheDocumentedSeriesGiveTheirStatisticAndVerdict) {
  struct Case {
    std::vector<double> e;
    double d;
    const char* verdict;
  } cases[] = {
      {{1, -1, 1, -1}, 4.0, "Insignificant"},  // the upper critical value of 4 events is 4
      {{1, 1, 1, 1}, 0.0, "Positive"},
      {{1, 2, 3, 4}, 1.0 / 7.5, "Positive"},
  };
  for (const Case& c : cases) {
    TResidualTest t;
    ASSERT_TRUE(ComputeResidualTest(Residuals({c.e}), t));
    EXPECT_NEAR(t.DStat[1], c.d, 1e-12);
    EXPECT_TRUE(t.DDefined[1]);
    const auto rows = ResidualGridTexts(t);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][1], FormatSignificant(c.d, 5));
    EXPECT_EQ(rows[1][4], c.verdict);
  }
  TResidualTest t;
  ASSERT_TRUE(ComputeResidualTest(Residuals({{1, 2, 3, 4}}), t));
  EXPECT_EQ(t.MaxAbsResidual, 4);
  EXPECT_EQ(ResidualGridTexts(t)[1][1], "0.1333");  // five significant digits, fixed point
  EXPECT_EQ(ResidualGridTexts(t)[0], (std::array<std::string, 5>{"Resp.", "D", "D-crit (-)",
                                                                 "D-crit (+)", "Autocorelation"}));
}

TEST(ResidualTest, BothCriticalValuesThemselvesAreInsignificant) {
  for (std::uint16_t n : {4, 10, 30, 45, 100}) {
    EXPECT_STREQ(AutocorrelationVerdict(static_cast<double>(DCritPositive(n)), n), "Insignificant");
    EXPECT_STREQ(AutocorrelationVerdict(static_cast<double>(DCritNegative(n)), n), "Insignificant");
    EXPECT_STREQ(AutocorrelationVerdict(static_cast<double>(DCritNegative(n)) + 1e-9, n),
                 "Negative");
  }
}

TEST(ResidualTest, AnExactFitLeavesDUndefinedAndTheBarsFlat) {
  TResidualTest t;
  const TYData y = Residuals({{0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}});
  ASSERT_TRUE(ComputeResidualTest(y, t));
  EXPECT_FALSE(t.DDefined[1]);
  EXPECT_EQ(t.MaxAbsResidual, 0);
  const auto rows = ResidualGridTexts(t);
  EXPECT_EQ(rows[1][1], "-");
  EXPECT_EQ(rows[2][4], "-");
  test::RecordingCanvas canvas;
  DrawResidualBars(canvas, 330, y, t.MaxAbsResidual, TSeriesStyles{}, {});
  for (const test::Drawn& bar : canvas.Of(test::Op::Rectangle))
    EXPECT_EQ(bar.Points[0].Y, bar.Points[1].Y);
  // One exact response beside a real one: only that one is undefined.
  ASSERT_TRUE(ComputeResidualTest(Residuals({{0, 0, 0, 0}, {1, -1, 1, -1}}), t));
  EXPECT_FALSE(t.DDefined[1]);
  EXPECT_TRUE(t.DDefined[2]);
  EXPECT_NEAR(t.DStat[2], 4, 1e-12);
}

TEST(ResidualTest, TwoResponsesStackTwoStripsWithBarsScaledToTheLargestResidual) {
  const TYData y = Residuals({{1, -2, 0.5, 0}, {-4, 2, 1, 3}});
  TResidualTest t;
  ASSERT_TRUE(ComputeResidualTest(y, t));
  EXPECT_EQ(ResidualGraphHeight(2), 300);
  TSeriesStyles series{};
  series[1].LineColor = 0x0000FF;
  series[2].LineColor = 0x00FF00;
  test::RecordingCanvas canvas;
  DrawResidualBars(canvas, 430, y, t.MaxAbsResidual, series, {{}, {"A"}, {}});
  const auto lines = canvas.Of(test::Op::MoveTo);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].Points[0], (CanvasPoint{15, 75}));
  EXPECT_EQ(lines[1].Points[0], (CanvasPoint{15, 225}));
  const auto bars = canvas.Of(test::Op::Rectangle);
  ASSERT_EQ(bars.size(), 8u);
  // Event 1 of response 1: e = 1 of at most 4 is 17.5 units, rounded to even 18, above the
  // line as in the residual plot; a negative residual hangs below.
  EXPECT_EQ(bars[0].Points[0], (CanvasPoint{15, 75}));
  EXPECT_EQ(bars[0].Points[1], (CanvasPoint{114, 75 - 18}));
  EXPECT_EQ(bars[1].Points[1].Y, 75 + 35);
  EXPECT_EQ(bars[4].Points[1].Y, 225 + 70);                    // the largest reaches 70 below
  EXPECT_EQ(bars[7].Points[1], (CanvasPoint{414, 225 - 52}));  // 52.5 to even
  EXPECT_EQ(bars[0].Brush.Color, 0x0000FFu);
  EXPECT_EQ(bars[4].Brush.Color, 0x00FF00u);
  EXPECT_EQ(bars[4].Pen.Color, kBlack);
  // Each strip names its response and gives the residual its bars reach above and below.
  EXPECT_EQ(canvas.Texts(), (std::vector<std::string>{"A", "+4.00", "-4.00", "Y[2]", "+4.00",
                                                      "-4.00"}));
}

class ResidualCommand : public test::ModelTest {
 protected:
  void SetUp() override {
    TwoParameterProblem("linear", {1, 2, 3, 4, 5}, {3.1, 4.9, 7.2, 8.8, 11.3}, 1, 2);
  }
};

TEST_F(ResidualCommand, ShowsTheVerdictsOnTheirPageAndRefusesThreeEvents) {
  ws_->ResidualAction();
  ASSERT_EQ(ws_->ResidualGrid.size(), 2u);
  // e = C - M = (1 + 2x) - y: -0.1, 0.1, -0.2, 0.2, -0.3.
  const double e[] = {-0.1, 0.1, -0.2, 0.2, -0.3};
  double num = 0, den = 0;
  for (int j = 0; j < 4; ++j) num += (e[j + 1] - e[j]) * (e[j + 1] - e[j]);
  for (double v : e) den += v * v;
  EXPECT_NEAR(ws_->ResidualTest.DStat[1], (num / 4) / (den / 5), 1e-9);
  EXPECT_EQ(ws_->ResidualGrid[1][0], "1.");
  EXPECT_EQ(ws_->ResidualGrid[1][2], FormatSignificant(static_cast<double>(DCritNegative(5)), 5));
  EXPECT_EQ(ui_.PagesShown.back(), Page::Autocorrelation);
  EXPECT_TRUE(ui_.Messages.empty());

  const auto before = ws_->ResidualGrid;
  Type(Dimension::Events, "3");
  ws_->ResidualAction();
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{msg::kNotEnoughEvents});
  EXPECT_EQ(ws_->ResidualGrid, before);
}

TEST_F(ResidualCommand, AGraphThatCannotBeSolvedDrawsNothingAndIsReportedOnce) {
  ws_->ResidualAction();
  test::RecordingCanvas canvas;
  EXPECT_TRUE(ws_->PaintResidualGraph(canvas, 300));
  EXPECT_FALSE(canvas.Ops.empty());
  ws_->Model.UnloadModelLibrary(BoxesOf(ui_));
  ui_.Messages.clear();
  canvas.Ops.clear();
  EXPECT_FALSE(ws_->PaintResidualGraph(canvas, 300));  // the first failure: to be told
  EXPECT_TRUE(ws_->PaintResidualGraph(canvas, 300));   // already told
  EXPECT_TRUE(canvas.Ops.empty());
  // The paint itself raised no box at all, not even the solver's word on the library.
  EXPECT_TRUE(ui_.TakeMessages().empty());
  // The command itself says why at once and keeps the grid.
  const auto before = ws_->ResidualGrid;
  ws_->ResidualAction();
  EXPECT_EQ(ui_.TakeMessages().back(), msg::kInitialSolveFailed);
  EXPECT_EQ(ws_->ResidualGrid, before);
}

}  // namespace
}  // namespace zelk
