// The fit chart's drawing, recorded: geometry, markers, branch numbers, curves, visibility.

#include "presentation/fit_chart.h"

#include <gtest/gtest.h>

#include <set>

#include <cmath>
#include <limits>
#include <memory>

#include "model/experiments.h"
#include "presentation/chart_data.h"
#include "support/recording_canvas.h"
#include "support/scripted_ui.h"

namespace zelk {
namespace {

using test::Op;
using test::RecordingCanvas;

TEST(ChartGeometry, FollowsTwentiethsOfTheSize) {
  struct Case {
    int W, H;
    ChartGeometry expected;
  };
  const Case cases[] = {
      {543, 426, {27, 21, 81, 42, 489, 363, 408, 321, 6, 24}},
      {4800, 3300, {240, 165, 720, 330, 4320, 2805, 3600, 2475, 50, 202}},
  };
  for (const Case& c : cases) {
    const ChartGeometry g = GeometryFor(c.W, c.H);
    const int got[] = {g.dx, g.dy, g.L, g.T, g.R, g.B, g.pw, g.ph, g.t, g.m};
    const ChartGeometry& e = c.expected;
    const int want[] = {e.dx, e.dy, e.L, e.T, e.R, e.B, e.pw, e.ph, e.t, e.m};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(got[i], want[i]) << c.W << "x" << c.H << " field " << i;
  }
}

TEST(ChartGeometry, RoundsHalvesToTheEvenNeighbour) {
  const std::pair<double, double> cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2},   {-0.5, 0},
                                             {-1.5, -2}, {2.4999, 2}, {2.5001, 3}, {-2.6, -3}};
  for (const auto& [v, want] : cases) EXPECT_EQ(RoundHalfEven(v), want) << v;
}

TEST(Markers, TheSixShapesAndAShapeBeyondThem) {
  struct Case {
    int shape;
    std::vector<Op> kinds;
    std::vector<CanvasPoint> points;  // all points of all operations, in order
  };
  const Case cases[] = {
      {kMarkerCircle, {Op::Ellipse}, {{88, 38}, {112, 62}}},
      {kMarkerSquare, {Op::Rectangle}, {{88, 38}, {112, 62}}},
      {kMarkerTriangleUp, {Op::Polygon}, {{100, 34}, {112, 58}, {88, 58}}},
      {kMarkerTriangleDown, {Op::Polygon}, {{100, 66}, {112, 42}, {88, 42}}},
      {kMarkerDiamond, {Op::Polygon}, {{100, 38}, {112, 50}, {100, 62}, {88, 50}}},
      {kMarkerAsterisk,
       {Op::MoveTo, Op::LineTo, Op::MoveTo, Op::LineTo, Op::MoveTo, Op::LineTo},
       {{100, 38}, {100, 62}, {88, 44}, {112, 56}, {112, 44}, {88, 56}}},
      {7, {}, {}},
  };
  for (const Case& c : cases) {
    RecordingCanvas canvas;
    DrawMarker(canvas, c.shape, 100, 50, 12);
    std::vector<Op> kinds;
    std::vector<CanvasPoint> points;
    for (const auto& d : canvas.Ops) {
      kinds.push_back(d.Kind);
      points.insert(points.end(), d.Points.begin(), d.Points.end());
    }
    EXPECT_EQ(kinds, c.kinds) << "shape " << c.shape;
    EXPECT_EQ(points, c.points) << "shape " << c.shape;
  }
}

class FitChart : public ::testing::Test {
 protected:
  // The plain look whose positions these tests measure: black circles of weight 5 and no
  // axis captions.
  FitChart() {
    prefs_.Series = TSeriesStyles{};
    for (TSeriesStyle& s : prefs_.Series) s.Weight = 5;
    prefs_.Descriptions[kXAxisDesc].Active = prefs_.Descriptions[kYAxisDesc].Active = false;
  }
  // Events at `times` (with a second independent variable when `second` is given), `dep`
  // responses measured as time * r + 1 and computed as the same line.
  void Data(const std::vector<double>& times, int dep = 1, const std::vector<double>& second = {}) {
    TDataSet& m = *measured_;
    m.XData.IndepCount = second.empty() ? 1 : 2;
    m.YData.DepCount = dep;
    m.YData.EventCount = static_cast<int>(times.size());
    for (std::size_t j = 1; j <= times.size(); ++j) {
      m.XData.X[j][1] = times[j - 1];
      if (!second.empty()) m.XData.X[j][2] = second[j - 1];
      for (int r = 1; r <= dep; ++r) {
        m.YData.M[j][r] = times[j - 1] * r + 1;
        m.YData.Defined[j][r] = true;
      }
    }
    Refresh();
  }
  void Refresh() {
    RefreshChartData(*measured_, *chart_, 1);
    tree_.Rebuild(*measured_);
    for (int j = 1; j <= chart_->YData.EventCount; ++j)
      for (int r = 1; r <= chart_->YData.DepCount; ++r)
        chart_->YData.C[j][r] = chart_->XData.X[j][1] * r + 1;
  }
  FitChartScene Scene() const {
    return {*measured_, *chart_, prefs_.Series, prefs_.Descriptions, tree_};
  }
  RecordingCanvas Markers() {
    RecordingCanvas c;
    DrawDataMarkers(c, 543, 426, Scene());
    return c;
  }
  RecordingCanvas Curves() {
    RecordingCanvas c;
    DrawCurves(c, 543, 426, Scene());
    return c;
  }
  void Hide(int r, int b) {
    tree_.SetSubtreeVisible(
        VisibilityTree::BranchIndex(r, b, CountExperiments(measured_->XData, measured_->YData.EventCount)),
        false);
  }

  test::ScriptedUi ui_;
  std::unique_ptr<TDataSet> measured_ = std::make_unique<TDataSet>();
  std::unique_ptr<TDataSet> chart_ = std::make_unique<TDataSet>();
  TPreferences prefs_;
  VisibilityTree tree_{[this] { ui_.Repaint(View::FitChart); }};
};

TEST_F(FitChart, TheFrameTicksAndLabelsSitWhereTheGeometryPutsThem) {
  Data({0, 5, 10});  // y from 1 to 11
  RecordingCanvas c;
  DrawChartFrame(c, 543, 426, Scene());
  ASSERT_GE(c.Ops.size(), 5u);
  EXPECT_EQ(c.Ops[0].Kind, Op::Rectangle);
  EXPECT_EQ(c.Ops[0].Points, (std::vector<CanvasPoint>{{81, 42}, {489, 363}}));
  EXPECT_EQ(c.Ops[0].Pen, (CanvasPen{kBlack, PenStyle::Solid, 1}));
  const std::vector<CanvasPoint> ticks = {{285, 362}, {285, 356}, {81, 202}, {87, 202}};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(c.Ops[1 + i].Points[0], ticks[i]) << i;

  const auto texts = c.Of(Op::TextOut);
  ASSERT_EQ(texts.size(), 6u);  // no caption is active by default
  struct Label {
    std::string text;
    CanvasPoint at;
  };
  const int w = 4 * RecordingCanvas::CharWidth, h2 = RecordingCanvas::LineHeight / 2;
  const Label want[] = {
      {"1.00", {69 - w, 363 - h2}},  {"11.0", {69 - w, 42 - h2}},  {"6.00", {69 - w, 202 - h2}},
      {"0.00", {81 - w / 2, 370}},   {"10.0", {489 - w / 2, 370}}, {"5.00", {285 - w / 2, 370}},
  };
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(texts[i].Text, want[i].text);
    EXPECT_EQ(texts[i].Points[0], want[i].at) << want[i].text;
  }
}

TEST_F(FitChart, ActiveCaptionsAreDrawnInTheirOwnFonts) {
  Data({0, 5, 10});
  const std::string captions[] = {"Title", "Time", "Concentration"};
  for (int d = 0; d < kDescriptionCount; ++d) {
    prefs_.Descriptions[d].Active = true;
    prefs_.Descriptions[d].Caption = captions[d];
    prefs_.Descriptions[d].Size = 10 + d;
  }
  prefs_.Descriptions[kTitleDesc].Bold = true;
  RecordingCanvas c;
  DrawChartFrame(c, 543, 426, Scene());
  const auto texts = c.Of(Op::TextOut);
  ASSERT_EQ(texts.size(), 9u);
  const int cw = RecordingCanvas::CharWidth, lh = RecordingCanvas::LineHeight;
  EXPECT_EQ(texts[3].Text, "Concentration");
  // Right-aligned before the scale labels, but never beyond the left edge.
  EXPECT_EQ(texts[3].Points[0], (CanvasPoint{std::max(0, 81 - 9 - 13 * cw), 42 + 80 - lh / 2}));
  EXPECT_EQ(texts[3].Font.Size, 12);
  EXPECT_EQ(texts[2].Font.Size, 12);  // scale labels use their axis caption's font
  EXPECT_EQ(texts[7].Text, "Time");
  EXPECT_EQ(texts[7].Points[0], (CanvasPoint{285 - 2 * cw, 363 + 10 + lh}));
  EXPECT_EQ(texts[7].Font.Size, 11);
  EXPECT_EQ(texts[8].Text, "Title");
  EXPECT_EQ(texts[8].Points[0], (CanvasPoint{285 - 15, 42 - 7 - lh}));
  EXPECT_TRUE(texts[8].Font.Bold);
}

TEST_F(FitChart, AMarkerOfWeightFiveReachesTwelveUnitsEachSide) {
  Data({0, 10});
  const auto ellipses = Markers().Of(Op::Ellipse);
  ASSERT_EQ(ellipses.size(), 2u);
  EXPECT_EQ(ellipses[0].Points, (std::vector<CanvasPoint>{{69, 351}, {93, 375}}));
  EXPECT_EQ(ellipses[1].Points, (std::vector<CanvasPoint>{{477, 30}, {501, 54}}));
  EXPECT_EQ(ellipses[0].Brush.Style, BrushStyle::Solid);
}

TEST_F(FitChart, TimeRestartingWithASecondVariableGivesTwoNumberedBranches) {
  Data({0, 1, 2, 0, 1, 2}, 1, {5, 5, 5, 7, 7, 7});
  const RecordingCanvas markers = Markers();
  EXPECT_EQ(markers.Texts(), (std::vector<std::string>{"1", "1", "1", "2", "2", "2"}));
  const auto numbers = markers.Of(Op::TextOut);
  EXPECT_EQ(numbers[0].Font.Size, 7);
  EXPECT_EQ(numbers[0].Font.Color, kWhite);
  const auto pieces = Curves().Of(Op::Polyline);
  ASSERT_EQ(pieces.size(), 2u);
  // No line from the end of the first experiment to the start of the second.
  EXPECT_EQ(pieces[0].Points.size(), pieces[1].Points.size());
  EXPECT_EQ(pieces[0].Points.back().X, 489);
  EXPECT_EQ(pieces[1].Points.front().X, 81);
}

TEST_F(FitChart, ASecondVariableChangingAloneSplitsTheCurvesButNotTheMarkerNumbers) {
  Data({0, 1, 2, 3}, 1, {5, 5, 7, 7});
  EXPECT_EQ(Markers().Texts(), (std::vector<std::string>{"1", "1", "1", "1"}));
  Hide(1, 2);
  EXPECT_EQ(Markers().Of(Op::Ellipse).size(), 4u);  // the markers count one branch only
  EXPECT_EQ(Curves().Of(Op::Polyline).size(), 1u);
}

TEST_F(FitChart, HidingABranchOfOneResponseLeavesTheOtherResponseOfIt) {
  Data({0, 1, 2, 0, 1, 2}, 2);
  Hide(1, 1);
  const auto ellipses = Markers().Of(Op::Ellipse);
  EXPECT_EQ(ellipses.size(), 3u + 6u);
  EXPECT_EQ(Curves().Of(Op::Polyline).size(), 1u + 2u);
}

TEST_F(FitChart, OneExperimentGetsNoNumbersAndMarkerSevenOnlyItsNumber) {
  Data({0, 1, 2, 3});
  EXPECT_TRUE(Markers().Texts().empty());
  Data({0, 1, 0, 1});
  prefs_.Series[1].Marker = 7;
  const RecordingCanvas c = Markers();
  EXPECT_EQ(c.Texts(), (std::vector<std::string>{"1", "1", "2", "2"}));
  EXPECT_EQ(c.Ops.size(), 4u);
}

TEST_F(FitChart, UnfilledMarkersWriteTheirNumberOverAClearBrush) {
  Data({0, 1, 0, 1});
  prefs_.Series[1].Filled = false;
  for (const auto& text : Markers().Of(Op::TextOut)) {
    EXPECT_EQ(text.Brush.Style, BrushStyle::Clear);
    EXPECT_EQ(text.Font.Color, kWhite);
  }
}

TEST_F(FitChart, RangesNarrowerThanTheLimitLeaveFrameAndLabelsOnly) {
  Data({0, 1, 2});
  for (int j = 1; j <= 3; ++j) measured_->YData.M[j][1] = 4;
  Refresh();
  EXPECT_TRUE(Markers().Ops.empty());
  EXPECT_TRUE(Curves().Ops.empty());
  RecordingCanvas frame;
  DrawChartFrame(frame, 543, 426, Scene());
  EXPECT_EQ(frame.Texts().size(), 6u);
  Data({3});  // a single event
  EXPECT_TRUE(Markers().Ops.empty());
}

TEST_F(FitChart, AValueTheDeviceCannotHoldBreaksTheCurveInsteadOfJoiningAcrossIt) {
  Data({0, 1, 2});
  const int middle = chart_->YData.EventCount / 2;
  chart_->YData.C[middle][1] = std::numeric_limits<double>::infinity();
  chart_->YData.C[middle + 1][1] = std::nan("");
  const auto pieces = Curves().Of(Op::Polyline);
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0].Points.size() + pieces[1].Points.size(),
            static_cast<std::size_t>(chart_->YData.EventCount - 2));
}

TEST_F(FitChart, CurvesUseTheSeriesLineStyle) {
  Data({0, 1, 2});
  prefs_.Series[1].LineStyle = kLineDashDot;
  prefs_.Series[1].LineWidth = 3;
  prefs_.Series[1].LineColor = 0x0000FF;
  const auto pieces = Curves().Of(Op::Polyline);
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(pieces[0].Pen, (CanvasPen{0x0000FF, PenStyle::DashDot, 3}));
  EXPECT_EQ(pieces[0].Points.size(), static_cast<std::size_t>(chart_->YData.EventCount));
}

TEST_F(FitChart, DesignedPointsAreLabelledDashedLines) {
  Data({0, 5, 10});
  RecordingCanvas c;
  const double points[] = {2.5};
  DrawDesignPoints(c, 543, 426, Scene(), points, kWhite);
  ASSERT_EQ(c.Ops.size(), 4u);
  const int px = 81 + 102, top = 7 * 21 / 4;
  EXPECT_EQ(c.Ops[0].Points[0], (CanvasPoint{px, top}));
  EXPECT_EQ(c.Ops[1].Points[0], (CanvasPoint{px, 363}));
  EXPECT_EQ(c.Ops[1].Pen.Style, PenStyle::DashDotDot);
  EXPECT_EQ(c.Ops[1].Pen.Color, 0x000080);
  EXPECT_EQ(c.Ops[3].Text, "2.500");
  EXPECT_EQ(c.Ops[3].Font.Size, 8);  // two thirds of the Y caption's 12 points
}

}  // namespace
}  // namespace zelk

namespace zelk {
namespace {

// Past the 50 series styles of the preferences every response is still drawn, the 51st in
// the first one's style.
TEST_F(FitChart, EveryResponseIsDrawnBeyondTheFiftyStyles) {
  Hold(*measured_, 3, 1, 60);
  prefs_.Series[1].LineColor = 0x123456;
  Data({0, 5, 10}, 60);
  const auto pieces = Curves().Of(Op::Polyline);
  ASSERT_EQ(pieces.size(), 60u);
  EXPECT_EQ(pieces[50].Pen.Color, TColor{0x123456});
}

TEST(ClipPolyline, KeepsThePiecesInsideTheRectangle) {
  struct Case {
    const char* name;
    std::vector<CanvasPoint> line;
    std::vector<std::vector<CanvasPoint>> pieces;
  } cases[] = {
      {"inside", {{1, 1}, {5, 5}, {9, 1}}, {{{1, 1}, {5, 5}, {9, 1}}}},
      {"out through the top and back", {{0, 5}, {5, -5}, {10, 5}},
       {{{0, 5}, {3, 0}}, {{8, 0}, {10, 5}}}},
      {"crossing wholly", {{-10, 5}, {20, 5}}, {{{0, 5}, {10, 5}}}},
      {"outside", {{-5, -5}, {-1, 20}}, {}},
      {"one point", {{5, 5}}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ClipPolyline(c.line, 0, 0, 10, 10), c.pieces) << c.name;
}

TEST(DefaultSeries, NeighbouringResponsesDifferInColourAndMarker) {
  const TSeriesStyles series = DefaultSeriesStyles();
  for (int n = 1; n < kSeriesCount; ++n) {
    EXPECT_NE(series[n].LineColor, series[n + 1].LineColor) << n;
    EXPECT_NE(series[n].Marker, series[n + 1].Marker) << n;
  }
  std::set<TColor> firstTen;
  for (int n = 1; n <= 10; ++n) firstTen.insert(series[n].LineColor);
  EXPECT_EQ(firstTen.size(), 10u);
}

TEST_F(FitChart, TheLegendNamesEachResponseAndCountsThoseThatDoNotFit) {
  Data({0, 5, 10}, 3);
  const ModelNames names{{}, {"A", "B"}, {}};
  FitChartScene scene = Scene();
  scene.Names = &names;
  RecordingCanvas none;
  DrawLegend(none, 543, 426, scene);
  EXPECT_TRUE(none.Texts().empty());  // off unless asked for
  scene.Legend = true;
  RecordingCanvas c;
  DrawLegend(c, 543, 426, scene);
  EXPECT_EQ(c.Texts(), (std::vector<std::string>{"A", "B", "Y[3]"}));
  // Where the rows do not fit, the last counts the rest.
  Data({0, 5, 10}, 40);
  RecordingCanvas many;
  DrawLegend(many, 543, 426, scene);
  const std::vector<std::string> texts = many.Texts();
  ASSERT_GE(texts.size(), 3u);
  EXPECT_LT(texts.size(), 40u);
  EXPECT_EQ(texts.back(), "+" + std::to_string(40 - (texts.size() - 1)) + " more");
}

TEST_F(FitChart, ALogarithmicAxisLabelsItsEndsAndLeavesOutWhatIsNotPositive) {
  Data({0, 5, 10});  // measured 1, 6 and 11
  measured_->YData.M[2][1] = -1;
  Refresh();
  FitChartScene scene = Scene();
  scene.LogY = true;
  RecordingCanvas frame;
  DrawChartFrame(frame, 543, 426, scene);
  const std::vector<std::string> texts = frame.Texts();
  ASSERT_GE(texts.size(), 3u);
  EXPECT_EQ(texts[0], "1.00");  // the smallest positive measurement at the bottom
  EXPECT_EQ(texts[2], "3.32");  // the middle is the geometric mean of 1 and 11
  RecordingCanvas markers;
  DrawDataMarkers(markers, 543, 426, scene);
  EXPECT_EQ(markers.Of(Op::Ellipse).size(), 2u);
}

}  // namespace
}  // namespace zelk
