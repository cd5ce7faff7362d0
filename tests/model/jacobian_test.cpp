#include "model/jacobian.h"

#include <gtest/gtest.h>

#include <cmath>

#include "estimation/fit_searches.h"
#include "support/model_fixture.h"

namespace zelk {
namespace {

class Jacobian : public test::ModelTest {
 protected:
  // An algebraic model at the times given, measured values from `measured`.
  void Algebraic(const char* name, const std::vector<double>& times, double (*measured)(double)) {
    Load(name);
    Data(1, 0, times);
    for (std::size_t j = 1; j <= times.size(); ++j)
      ws_->MeasuredData.YData.M[j][1] = measured(times[j - 1]);
  }
  bool Compute(T20Vector p, int count) { return Compute(p, AllColumns(count)); }
  bool Compute(T20Vector p, const JacobianColumns& columns) {
    SolveContext ctx = ws_->Problem().Context();
    return ComputeJacobian(ctx, work_, p, columns, ws_->MeasuredData);
  }
  static T20Vector Params(double a, double b) {
    T20Vector p{};
    p[1] = a;
    p[2] = b;
    return p;
  }
  JacobianWork& model() { return work_; }
  JacobianWork work_;
};

// Central differences: ten digits on an exact model, two solutions a parameter, and 0 for a
// residual or a parameter the responses do not depend on.
TEST_F(Jacobian, MatchesTheAnalyticDerivativesAndRestoresTheBaseSolution) {
  Algebraic("algebraic", {0, 0.5, 1, 2}, [](double t) { return 2 * std::exp(-0.3 * t); });
  T20Vector p = Params(2.0, 0.3);
  p[3] = 0.5;  // the model never reads it
  ws_->Problem().Stats = {};
  ASSERT_TRUE(Compute(p, 3));
  ASSERT_EQ(model().ResidualCount, 4);
  const double times[] = {0, 0.5, 1, 2};
  for (int n = 1; n <= 4; ++n) {
    const double t = times[n - 1], e = std::exp(-0.3 * t);
    EXPECT_NEAR(model().Jacobian[n][1], e, 1e-10) << n;
    EXPECT_NEAR(model().Jacobian[n][2], -2 * t * e, 1e-10) << n;
    EXPECT_EQ(model().Jacobian[n][3], 0) << n;
    EXPECT_EQ(C(n), 2 * e) << "the computed values are the base solution's again";
    EXPECT_NEAR(model().Residuals[n], 0, 1e-15);
  }
  EXPECT_EQ(ws_->Problem().Stats.Solutions, 1 + 3 * 2);
}

TEST_F(Jacobian, AParameterAtZeroMovesByTheRelativeStep) {
  Algebraic("linear", {1, 2, 3}, [](double) { return 0.0; });
  ASSERT_TRUE(Compute(Params(0, 0), 2));  // every response is 0 at the base
  for (int n = 1; n <= 3; ++n) {
    EXPECT_NEAR(model().Jacobian[n][1], 1, 1e-9);
    EXPECT_NEAR(model().Jacobian[n][2], n, 1e-9);
  }
}

// y' = -k y faults for k > 1.2: at k = 1.2 the step beyond fails, and at a bound the step
// beyond is never tried; either way the quotient turns one-sided instead of failing.
TEST_F(Jacobian, ATrialThatFailsOrABoundTurnsTheQuotientOneSided) {
  Load("fault_above");
  Data(1, 1, {0, 1, 2});
  for (const bool bounded : {false, true}) {
    JacobianColumns columns = AllColumns(1);
    if (bounded) columns.Upper[1] = 1.2;
    T20Vector p{};
    p[1] = 1.2;
    ws_->Problem().Stats = {};
    ASSERT_TRUE(Compute(p, columns)) << bounded;
    EXPECT_EQ(ws_->Problem().Stats.Solutions, bounded ? 3 : 4) << "the base and two on one side";
    for (int n = 1; n <= 2; ++n) {
      const double t = n, exact = -t * std::exp(-1.2 * t);  // y0 = 1
      EXPECT_NEAR(model().Jacobian[n][1] / exact, 1, 2e-3) << n << " " << bounded;
    }
  }
  EXPECT_TRUE(ui_.TakeMessages().empty());
}

TEST_F(Jacobian, AFailingSolutionSaysSo) {
  Algebraic("fault_fdiv", {0, 1}, [](double) { return 1.0; });
  Type(Dimension::DifEq, "1");
  EXPECT_FALSE(Compute(Params(1, 1), 1));
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{kJacobianFailed});
}

// With differential equations the first event of every experiment is no residual, in every
// response; the count is the enumeration's.
TEST_F(Jacobian, ResidualsSkipEachExperimentsFirstEventInEveryResponse) {
  Load("chain");
  Data(5, 5, {0, 1, 2, 0, 1});
  ws_->MeasuredData.YData.Defined[3][2] = false;
  ASSERT_TRUE(Compute(Params(0.9, 0.4), 2));
  EXPECT_EQ(model().ResidualCount, 5 * (5 - 2) - 1);
  EXPECT_EQ(model().ResidualCells[1].Event, 2);
  EXPECT_EQ(model().ResidualCells[3].Event, 5);
  EXPECT_EQ(model().ResidualCells[4].Variable, 2);
  EXPECT_EQ(model().ResidualCells[5].Event, 5);  // event 3 of variable 2 is missing
}

TEST_F(Jacobian, AGaussNewtonStepOfALinearModelLandsOnTheLeastSquaresSolution) {
  Algebraic("linear", {1, 2, 3, 4}, [](double) { return 0.0; });
  const double measured[] = {3.1, 4.9, 7.2, 8.8};
  for (int j = 1; j <= 4; ++j) ws_->MeasuredData.YData.M[j][1] = measured[j - 1];
  T20Vector delta{};
  const T20Vector start = Params(5, -3);
  ASSERT_TRUE(ws_->Problem().GaussNewtonCorrection(start, AllColumns(2), delta));
  EXPECT_NEAR(start[1] + delta[1], 1.15, 1e-9);
  EXPECT_NEAR(start[2] + delta[2], 1.94, 1e-9);
  // The inverse of the normal matrix [[4, 10], [10, 30]].
  const JacobianWork& work = ws_->Problem().Work();
  EXPECT_NEAR(work.NormalInverse[1][1], 1.5, 1e-9);
  EXPECT_NEAR(work.NormalInverse[1][2], -0.5, 1e-9);
  EXPECT_NEAR(work.NormalInverse[2][2], 0.2, 1e-9);
}

TEST_F(Jacobian, AGaussNewtonStepOnASingularProblemSaysSoAndWritesNothing) {
  Algebraic("linear", {1, 2}, [](double t) { return t; });
  T20Vector delta{};
  delta[1] = 7;
  T20Vector p = Params(1, 1);
  p[3] = 1;  // unused: a zero column
  EXPECT_FALSE(ws_->Problem().GaussNewtonCorrection(p, AllColumns(3), delta));
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{kMatrixSingular});
  EXPECT_EQ(delta[1], 7);
}

TEST_F(Jacobian, TheDesignJacobianLeavesTheCallersBlockAlone) {
  Algebraic("linear", {1, 2, 3}, [](double) { return 0.0; });
  TYData design = ws_->MeasuredData.YData;
  design.C[2][1] = -5;
  SolveContext ctx = ws_->Problem().Context();
  ws_->Problem().Stats = {};
  ASSERT_TRUE(ComputeDesignNormalMatrix(ctx, work_, Params(1, 2), 2, ws_->MeasuredData.XData, design));
  EXPECT_EQ(design.C[2][1], -5);
  EXPECT_EQ(ws_->Problem().Stats.Solutions, 1 + 2);  // one trial per parameter
  EXPECT_NEAR(model().NormalMatrix[1][1], 3, 1e-9);
  EXPECT_NEAR(model().NormalMatrix[1][2], 6, 1e-9);
  EXPECT_NEAR(model().NormalMatrix[2][2], 14, 1e-9);
}

// two_conditions: a log10 rate constant per condition, the first experiment's initial value
// written by the static section from p3, and y2 = ln(y1) computed there from the state (ln 0
// would fault: the section's first call must see the first event, not zeros). Measured: the
// model's own solution at (-0.5, -1, 1.5).
class TwoConditions : public Jacobian {
 protected:
  void SetUp() override {
    Jacobian::SetUp();
    Load("two_conditions");
    Type(Dimension::Indep, "2");
    Data(2, 2, {0, 1, 2, 3, 0, 1, 2, 3}, 2.0);
    TDataSet& d = ws_->MeasuredData;
    for (int e = 1; e <= 8; ++e) {
      d.XData.X[e][2] = e <= 4 ? 1 : 2;
      d.XData.Defined[e][2] = true;
      d.YData.M[e][2] = std::log(2.0);
    }
    Type(Dimension::Param, "3");
    ws_->SetDataSaved(false);
    ws_->Prefs.Integrator = kBdf;
    ws_->Prefs.RelTolerance = 1e-10;
    ws_->Prefs.AbsTolerance = 1e-14;
    ASSERT_EQ(ws_->Problem().Solve(Truth()), SolveResult::Solved);
    for (int e = 2; e <= 8; ++e)
      if (e != 5) CopyRow(d.YData.M[e], d.YData.C[e]);
  }
  static T20Vector Truth() {
    T20Vector p{};
    p[1] = -0.5;
    p[2] = -1;
    p[3] = 1.5;
    return p;
  }
};

// Differences (Merson) and sensitivities (BDF) give one Jacobian: a residual of the other
// condition gets exactly 0, the initial value's column is dy/dy0 in its experiment.
TEST_F(TwoConditions, DifferencesAndSensitivitiesAgreeAndKeepTheConditionsApart) {
  std::vector<std::vector<double>> columns[2];
  for (const bool sensitivities : {false, true}) {
    ws_->Prefs.Integrator = sensitivities ? kBdf : kMerson;
    ws_->Prefs.SensitivityJacobian = sensitivities;
    ASSERT_TRUE(Compute(Truth(), 3)) << sensitivities;
    for (int n = 1; n <= model().ResidualCount; ++n) {
      const auto [event, variable] = model().ResidualCells[n];
      const bool first = event <= 4;
      EXPECT_EQ(model().Jacobian[n][first ? 2 : 1], 0) << n << " " << sensitivities;
      if (!first) {
        EXPECT_EQ(model().Jacobian[n][3], 0) << n << " " << sensitivities;
      }
      if (first && variable == 1) {  // y1 = y0 e^{-k t}: dy1/dy0 = y1 / y0
        EXPECT_NEAR(model().Jacobian[n][3], C(event) / 1.5, 1e-4) << n << " " << sensitivities;
      }
      columns[sensitivities].push_back({model().Jacobian[n][1], model().Jacobian[n][2], model().Jacobian[n][3]});
    }
  }
  ASSERT_EQ(columns[0].size(), columns[1].size());
  for (std::size_t n = 0; n < columns[0].size(); ++n)
    for (int k = 0; k < 3; ++k)
      EXPECT_NEAR(columns[0][n][k], columns[1][n][k], 2e-3 * std::fabs(columns[1][n][k]) + 1e-6) << n << " " << k;
}

// LM on sensitivities moves the initial value too, and ends at the answer, not on a crawl.
TEST_F(TwoConditions, LevenbergMarquardtOnSensitivitiesFitsTheInitialValue) {
  ws_->Prefs.SensitivityJacobian = true;
  const double start[] = {-0.3, -0.7, 1.0};
  for (int i = 1; i <= 3; ++i) {
    ws_->SetParameterValue(i, start[i - 1]);
    ws_->Parameters.MinBound[i] = -5;
    ws_->Parameters.MaxBound[i] = 5;
  }
  const SearchSummary s = LMSearch(ws_->Estimation().Ground(), {});
  EXPECT_EQ(s.Reason, SearchEnd::Converged) << ws_->Estimation().Result.Message;
  for (int i = 1; i <= 3; ++i) EXPECT_NEAR(s.Values[i], Truth()[i], 1e-5) << i;
}

}  // namespace
}  // namespace zelk
