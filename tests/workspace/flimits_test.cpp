#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "base/format.h"
#include "base/messages.h"
#include "estimation/quantiles.h"
#include "support/model_fixture.h"

namespace zelk {
namespace {

// The linear model y = p1 + p2 x, fitted exactly by least squares.
class FLimits : public test::ModelTest {
 protected:
  // With one parameter, p2 is held at 0: the model is the mean, and S(p1) = S + N (p1 - mean)^2.
  void Mean(const std::vector<double>& y, double minBound = 0) {
    Load("linear");
    std::vector<double> times(y.size());
    std::iota(times.begin(), times.end(), 1.0);
    Data(1, 0, times);
    for (std::size_t j = 1; j <= y.size(); ++j) ws_->MeasuredData.YData.M[j][1] = y[j - 1];
    ws_->SetDataSaved(true);
    ws_->SetParameterValue(2, 0);
    mean_ = std::accumulate(y.begin(), y.end(), 0.0) / y.size();
    ss_ = 0;
    for (double v : y) ss_ += (v - mean_) * (v - mean_);
    SetBound(ws_->Parameters, 1, TBound::Min, minBound);
    ws_->SetParameterValue(1, mean_);
  }
  // The exact half-width of the F-test interval of the mean.
  double HalfWidth(int n) const {
    const double f = static_cast<double>(FisherF95(1, static_cast<std::uint16_t>(n - 1)));
    return std::sqrt(ss_ * f / (n - 1) / n);
  }
  // A found limit lies inside the exact one, by no more than the smallest relative steps.
  static void ExpectInsideNear(double found, double exact, double centre) {
    EXPECT_LE(std::fabs(found - centre), std::fabs(exact - centre) * (1 + 1e-12));
    EXPECT_LE(std::fabs(found - exact), 2e-4 * std::max(std::fabs(exact), 1e-3))
        << found << " vs " << exact;
  }
  double mean_ = 0, ss_ = 0;
};

TEST_F(FLimits, TheMeanGetsTheExactIntervalOnBothSides) {
  const std::vector<double> y = {1.0, 1.2, 0.9, 1.1, 1.3, 0.8};
  Mean(y);
  EXPECT_TRUE(AllFLimits(ws_->Estimation().Ground(), {}));
  const std::vector<SearchSummary>& sides = ws_->Estimation().Result.LimitSides;
  const RunController& e = ws_->Estimation();
  const double h = HalfWidth(6);
  // The computed values (the report's residuals) are the estimates', not the last probe's.
  for (int e = 1; e <= 6; ++e) EXPECT_EQ(C(e), mean_) << e;
  ExpectInsideNear(ws_->Parameters.LoFLimit[1], mean_ - h, mean_);
  ExpectInsideNear(ws_->Parameters.HiFLimit[1], mean_ + h, mean_);
  // F(p, N - p) = F(1, 5), not F(N, N - p).
  EXPECT_NEAR(e.LimitF, 6.61, 1e-12);
  EXPECT_NEAR(e.LimitObjective, ss_ * (1 + 6.61 / 5), 1e-12);
  EXPECT_EQ(ws_->Estimation().Flow().LimitObjective, FormatGeneral(e.LimitObjective, 12));
  ASSERT_EQ(sides.size(), 2u);
  for (const SearchSummary& side : sides) EXPECT_EQ(side.Reason, SearchEnd::Finished);
  EXPECT_TRUE(ws_->Parameters.LoFValid[1] && ws_->Parameters.HiFValid[1]);
  EXPECT_EQ(ws_->ParamGrids().PDGrid().Text(5, 1),
            FormatSignificant(ws_->Parameters.LoFLimit[1], 6));
  EXPECT_EQ(ws_->ParamGrids().PDGrid().Text(6, 1),
            FormatSignificant(ws_->Parameters.HiFLimit[1], 6));
  EXPECT_EQ(ws_->Parameters.LoLimitPoints[1][1], ws_->Parameters.LoFLimit[1]);
  EXPECT_EQ(ws_->Parameters.HiLimitPoints[1][1], ws_->Parameters.HiFLimit[1]);
  EXPECT_EQ(ws_->Estimation().Flow().Parameter, "1");
  EXPECT_EQ(ws_->Estimation().Flow().Limit, "Upper");
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{msg::kProcessCompleted});
  for (Page page : {Page::ParameterDetails, Page::Flow, Page::FTest})
    EXPECT_NE(std::find(ui_.PagesShown.begin(), ui_.PagesShown.end(), page), ui_.PagesShown.end());
  // The best value itself never moved.
  EXPECT_DOUBLE_EQ(ws_->Parameters.Value[1], mean_);
  EXPECT_EQ(ws_->Estimation().OperationMode, 0);
}

TEST_F(FLimits, ALimitAtZeroStepsByTheStepItselfAndEnds) {
  // Mean 0: a relative step would probe 0 for ever.
  Mean({0.1, -0.1, 0.2, -0.2, 0.05, -0.05}, -10);
  ASSERT_EQ(mean_, 0);
  SearchOptions options;
  options.Calls = 400000;  // a safety net only
  AllFLimits(ws_->Estimation().Ground(), options);
  const std::vector<SearchSummary>& sides = ws_->Estimation().Result.LimitSides;
  ASSERT_EQ(sides.size(), 2u);
  EXPECT_EQ(sides[0].Reason, SearchEnd::Finished);
  EXPECT_EQ(sides[1].Reason, SearchEnd::Finished);
  ExpectInsideNear(ws_->Parameters.LoFLimit[1], -HalfWidth(6), 0);
  ExpectInsideNear(ws_->Parameters.HiFLimit[1], HalfWidth(6), 0);
}

TEST_F(FLimits, AParameterAtItsLowerBoundEndsAtTheFirstMoveAndKeepsItsValue) {
  Mean({1.0, 1.2, 0.9, 1.1, 1.3, 0.8});
  SetBound(ws_->Parameters, 1, TBound::Min, mean_);
  ws_->Estimation().Ground().InitialEvaluation();
  ws_->Problem().Stats = {};
  const SearchSummary side = FLimitSide(ws_->Estimation().Ground(), 1, true);
  EXPECT_EQ(side.Reason, SearchEnd::Finished);
  // The centre and the estimates once more at the end; no probe beyond the bound.
  EXPECT_EQ(ws_->Problem().Stats.Solutions, 2);
  EXPECT_EQ(ws_->Parameters.LoFLimit[1], mean_);
  EXPECT_FALSE(ws_->Parameters.LoFValid[1]);
  EXPECT_TRUE(ui_.Messages.empty());
}

TEST_F(FLimits, TheFLimitCommandNeedsALimitCellOfAParameterRow) {
  Mean({1.0, 1.2, 0.9, 1.1, 1.3, 0.8});
  struct Cell {
    int col, row;
  } refused[] = {{4, 1}, {1, 1}, {5, 0}, {6, 2}};
  for (const Cell& c : refused) {
    EXPECT_FALSE(ws_->Estimation().FLimit(c.col, c.row));
    EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{msg::kLimitCellRequired});
  }
  EXPECT_FALSE(ws_->Parameters.LoFValid[1] || ws_->Parameters.HiFValid[1]);
  // Through the details grid's current cell: column 6 is the upper side only.
  ws_->ParamGrids().PDGrid().SelectCell(6, 1);
  ws_->FLimitAction();
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{msg::kProcessCompleted});
  EXPECT_TRUE(ws_->Parameters.HiFValid[1]);
  EXPECT_FALSE(ws_->Parameters.LoFValid[1]);
  EXPECT_EQ(ws_->Estimation().Flow().Limit, "Upper");
}

TEST_F(FLimits, NoDegreesOfFreedomLeftSaysSoAndSearchesNothing) {
  Mean({1.0, 1.2});
  Type(Dimension::Param, "2");
  const T20Vector before = ws_->Parameters.Value;
  EXPECT_FALSE(AllFLimits(ws_->Estimation().Ground(), {}));
  const std::vector<SearchSummary>& sides = ws_->Estimation().Result.LimitSides;
  EXPECT_EQ(ui_.TakeMessages(),
            std::vector<std::string>{FillPlaceholders(msg::kTooFewForLimits, {"2", "2", "0"})});
  EXPECT_EQ(sides.size(), 1u);
  EXPECT_EQ(sides[0].Reason, SearchEnd::InitialSolveFailed);
  EXPECT_EQ(ws_->Parameters.Value, before);
}

TEST_F(FLimits, AStartThatCannotBeSolvedIsReportedOnceWithoutSuccess) {
  Mean({1.0, 1.2, 0.9, 1.1, 1.3, 0.8});
  Type(Dimension::Param, "3");
  ws_->Model.UnloadModelLibrary(BoxesOf(ui_));
  ui_.Messages.clear();
  EXPECT_FALSE(AllFLimits(ws_->Estimation().Ground()));
  // The solver's own word on the missing library, then ours, once for all six searches.
  const std::vector<std::string> shown = ui_.TakeMessages();
  EXPECT_EQ(std::count(shown.begin(), shown.end(), msg::kInitialSolveFailed), 1);
  EXPECT_EQ(shown.back(), msg::kInitialSolveFailed);
  EXPECT_EQ(std::count(shown.begin(), shown.end(), msg::kProcessCompleted), 0);
}

// The line through four points: S(p2) profiled over p1 is S + (p2 - 1.94)^2 / V22 with
// V22 = 0.2, and the threshold 0.082 (1 + F(2, 2) 2 / 2) = 0.082 * 20.
TEST_F(FLimits, TheProfileOfASlopeRefitsTheInterceptAndWidensBothParameters) {
  TwoParameterProblem("linear", {1, 2, 3, 4}, {3.1, 4.9, 7.2, 8.8}, 1.15, 1.94);
  SetBound(ws_->Parameters, 1, TBound::Min, -100);
  std::vector<SearchSummary> sides;
  SearchOptions options;
  options.Calls = 400000;
  ASSERT_TRUE(ws_->Estimation().FLimit(5, 2, options));
  const double half = std::sqrt((0.082 * 20 - 0.082) * 0.2);
  const TParameterRecord& p = ws_->Parameters;
  EXPECT_NEAR(p.LoFLimit[2], 1.94 - half, 0.01 * half);
  EXPECT_GE(p.LoFLimit[2], 1.94 - half - 1e-9);
  // Along the profile the intercept rises as the slope falls: p1 = mean(y) - p2 mean(x).
  EXPECT_NEAR(p.LoLimitPoints[2][1], 6.0 - 2.5 * p.LoFLimit[2], 0.05);
  EXPECT_TRUE(p.HiFValid[1]);
  EXPECT_GT(p.HiFLimit[1], 1.15);
  EXPECT_EQ(p.HiLimitPoints[1][1], p.HiFLimit[1]);
}

TEST_F(FLimits, StopEndsOnlyTheRunningSearchAndTheRestStillRun) {
  Mean({1.0, 1.2, 0.9, 1.1, 1.3, 0.8});
  Type(Dimension::Param, "3");
  // p2 and p3 leave the model flat: their limits walk out to the bounds.
  ws_->SetParameterValue(2, 0);
  ws_->SetParameterValue(3, 1);
  SetBound(ws_->Parameters, 3, TBound::Max, 10);
  int ticks = 0;
  std::function<void()> tick = [&] {
    if (++ticks == 50) ws_->Estimation().Stop();
    ui_.OnProcessEvents = tick;
  };
  ui_.OnProcessEvents = tick;
  SearchOptions options;
  options.Calls = 400000;
  EXPECT_TRUE(AllFLimits(ws_->Estimation().Ground(), options));
  const std::vector<SearchSummary>& sides = ws_->Estimation().Result.LimitSides;
  ASSERT_EQ(sides.size(), 6u);
  EXPECT_EQ(sides[0].Reason, SearchEnd::Stopped);
  for (std::size_t i = 1; i < sides.size(); ++i)
    EXPECT_EQ(sides[i].Reason, SearchEnd::Finished) << i;
  // The stopped side is no success: it is said, and drawn grey where it stood.
  EXPECT_EQ(ui_.TakeMessages(),
            std::vector<std::string>{FillPlaceholders(msg::kLimitsUnfinished, {"1"})});
  EXPECT_EQ(ws_->Estimation().Result.Side(1, true), LimitSideState::Unfinished);
  EXPECT_EQ(ws_->Estimation().Result.Side(1, false), LimitSideState::Finished);
  EXPECT_EQ(ws_->ParamGrids().PDGrid().Style(5, 1).TextColour, CellTextColour::Grey);
  EXPECT_GE(ws_->Parameters.HiFLimit[3], 10 - 1e-9);
}

// While All F-Limits runs, a side not yet searched shows nothing, though the profiles of
// earlier parameters moved its value.
TEST_F(FLimits, ASideNotYetSearchedShowsNothing) {
  Mean({1.0, 1.2, 0.9, 1.1, 1.3, 0.8});
  Type(Dimension::Param, "2");
  SetBound(ws_->Parameters, 2, TBound::Min, -10);
  ws_->SetParameterValue(2, 0.01);  // the random re-fits move only what is not 0
  bool checked = false;
  std::function<void()> look = [&] {
    ui_.OnProcessEvents = look;
    const RunController& e = ws_->Estimation();
    if (checked || e.LimitParam != 1 || e.LimitLower) return;
    checked = true;  // during parameter 1's upper side
    EXPECT_TRUE(ws_->ParamGrids().PDGrid().Style(5, 1).TextDrawn);
    EXPECT_TRUE(ws_->Parameters.HiFValid[2]);  // moved by the profile of parameter 1
    EXPECT_FALSE(ws_->ParamGrids().PDGrid().Style(6, 2).TextDrawn);
  };
  ui_.OnProcessEvents = look;
  EXPECT_TRUE(AllFLimits(ws_->Estimation().Ground()));
  ui_.OnProcessEvents = nullptr;
  EXPECT_TRUE(checked);
  EXPECT_TRUE(ws_->ParamGrids().PDGrid().Style(6, 2).TextDrawn);
}

TEST_F(FLimits, ANewBestValueRestartsTheLimitsFromIt) {
  Mean({1.0, 1.2, 0.9, 1.1, 1.3, 0.8});
  AllFLimits(ws_->Estimation().Ground());
  EXPECT_LT(ws_->Parameters.LoFLimit[1], mean_);
  ws_->Estimation().Ground().ShowObjective(ws_->Estimation().BestObjective / 2);
  EXPECT_EQ(ws_->Parameters.LoFLimit[1], ws_->Parameters.Value[1]);
  EXPECT_EQ(ws_->Parameters.HiFLimit[1], ws_->Parameters.Value[1]);
  EXPECT_FALSE(ws_->Estimation().LimitReady);
}

TEST_F(FLimits, AllFLimitsRunAsOneComputationThatThePanelNamesAndNoEditDisturbs) {
  Mean({1.0, 1.2, 0.9, 1.1, 1.3, 0.8});
  std::vector<std::string> shown;
  std::function<void()> look = [&] {
    shown.push_back(ui_.Panels[kRunningPanel]);
    // The user tries to type a value or to fix the parameter meanwhile.
    EXPECT_FALSE(ws_->Grid().OpenEditor());
    EXPECT_FALSE(ws_->ParamGrids().ParamGrid().OpenEditor());
    ws_->ParamGrids().ParamGrid().MouseReleased(0, 1);
    ui_.OnProcessEvents = look;
  };
  ui_.OnProcessEvents = look;
  ws_->AllFLimitsAction();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.front(), "F-Limit Lower 1 running: 0 model calls, min " +
                               FormatGeneral(ws_->Estimation().BestObjective, 8));
  EXPECT_EQ(shown.back().rfind("F-Limit Upper 1 running: ", 0), 0u) << shown.back();
  // One computation for both sides: the window holds its commands back once.
  EXPECT_EQ(ui_.RunningStates, (std::vector<bool>{true, false}));
  EXPECT_EQ(ui_.Panels[kRunningPanel], "");
  EXPECT_FALSE(ws_->Parameters.Fixed[1]);
  EXPECT_TRUE(ws_->Grid().OpenEditor());
}

// A rise to a plateau, y = a (1 - exp(-b x)), on a published data set whose a and b correlate
// at -0.999. Its profiles are computed here without the search: for a fixed b the best a is
// linear least squares; for a fixed a the best b is found by golden section.
class RiseProfile : public test::ModelTest {
 protected:
  static constexpr double kA = 2.3894212918E+02, kB = 5.5015643181E-04;
  const std::vector<double> x_ = {77.6,  114.9, 141.1, 190.8, 239.9, 289.0, 332.8,
                                  378.4, 434.8, 477.3, 536.8, 593.1, 689.1, 760.0};
  const std::vector<double> y_ = {10.07, 14.73, 17.94, 23.93, 29.61, 35.18, 40.02,
                                  44.82, 50.76, 55.05, 61.01, 66.40, 75.47, 81.78};
  double SS(double a, double b) const {
    double s = 0;
    for (std::size_t j = 0; j < x_.size(); ++j) {
      const double r = y_[j] - a * (1 - std::exp(-b * x_[j]));
      s += r * r;
    }
    return s;
  }
  double ProfileOfB(double b) const {
    double yf = 0, ff = 0;
    for (std::size_t j = 0; j < x_.size(); ++j) {
      const double f = 1 - std::exp(-b * x_[j]);
      yf += y_[j] * f;
      ff += f * f;
    }
    return SS(yf / ff, b);
  }
  double ProfileOfA(double a) const {
    double lo = kB / 4, hi = kB * 4;
    const double g = (std::sqrt(5.0) - 1) / 2;
    for (int i = 0; i < 200; ++i) {
      const double m1 = hi - g * (hi - lo), m2 = lo + g * (hi - lo);
      if (SS(a, m1) < SS(a, m2))
        hi = m2;
      else
        lo = m1;
    }
    return SS(a, (lo + hi) / 2);
  }
  // Where the profile crosses `level` between the optimum and `outer`.
  template <typename Profile>
  static double Crossing(Profile profile, double optimum, double outer, double level) {
    for (int i = 0; i < 200; ++i) {
      const double mid = (optimum + outer) / 2;
      (profile(mid) <= level ? optimum : outer) = mid;
    }
    return optimum;
  }
};

TEST_F(RiseProfile, EveryLimitPointLiesInsideTheRegionAndTheLimitsMatchTheProfile) {
  TwoParameterProblem("rise", x_, y_, kA, kB);
  SearchOptions options;
  options.Calls = 400000;  // a safety net only
  ASSERT_TRUE(AllFLimits(ws_->Estimation().Ground(), options));
  const double level = ws_->Estimation().LimitObjective;
  ASSERT_NEAR(level, SS(kA, kB) * (1 + FisherF95(2, 12) * 2 / 12.0), 1e-9 * level);
  const TParameterRecord& p = ws_->Parameters;
  for (int i = 1; i <= 2; ++i)
    for (const T20Vector* point : {&p.LoLimitPoints[i], &p.HiLimitPoints[i]})
      EXPECT_LE(SS((*point)[1], (*point)[2]), level) << "parameter " << i;
  struct Side {
    double found, optimum, outer;
    bool ofA;
  } sides[] = {{p.LoFLimit[1], kA, kA / 2, true},
               {p.HiFLimit[1], kA, kA * 2, true},
               {p.LoFLimit[2], kB, kB / 2, false},
               {p.HiFLimit[2], kB, kB * 2, false}};
  for (const Side& s : sides) {
    const double exact =
        s.ofA ? Crossing([&](double a) { return ProfileOfA(a); }, s.optimum, s.outer, level)
              : Crossing([&](double b) { return ProfileOfB(b); }, s.optimum, s.outer, level);
    const double half = std::fabs(exact - s.optimum);
    EXPECT_LE(std::fabs(s.found - exact), 0.05 * half)
        << (s.ofA ? "a " : "b ") << s.found << " vs " << exact;
  }
}

}  // namespace
}  // namespace zelk
