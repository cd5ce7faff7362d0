#include <gtest/gtest.h>

#include <cmath>

#include "base/format.h"
#include "base/messages.h"
#include "estimation/operation.h"
#include "support/model_fixture.h"
#include "support/temp_folder.h"

namespace zelk {
namespace {

class Optimization : public test::ModelTest {
 protected:
  // Decay with rate 0.7 measured without noise in one experiment.
  void SetUp() override {
    Load("decay");
    Data(1, 1, {0, 0.5, 1, 2, 3, 4, 6});
    for (int j = 2; j <= 7; ++j)
      ws_->MeasuredData.YData.M[j][1] = std::exp(-0.7 * ws_->MeasuredData.XData.X[j][1]);
    ws_->SetDataSaved(true);
    ws_->SetParameterValue(1, 3.0);  // a poor start
  }
  // Runs a search for `steps` steps and stops it.
  void Run(void (Workspace::*action)(), int steps) {
    int done = 0;
    ui_.OnProcessEvents = nullptr;
    std::function<void()> tick = [&] {
      if (++done >= steps)
        ws_->Estimation().Stop();
      else
        ui_.OnProcessEvents = tick;
    };
    ui_.OnProcessEvents = tick;
    (ws_.get()->*action)();
  }
};

TEST_F(Optimization, TheRandomSearchFindsTheRateConstantFromAPoorStart) {
  Run(&Workspace::OptimizeAction, 400);
  EXPECT_NEAR(ws_->Parameters.Value[1], 0.7, 0.7e-3);
  EXPECT_LT(ws_->Estimation().BestObjective, 1e-6);
  EXPECT_EQ(ws_->Parameters.InitialValue[1], 3.0);
  EXPECT_EQ(ws_->Estimation().TotalCalls, 401u);
  EXPECT_GT(ws_->Estimation().SuccessfulCalls, 5u);
  EXPECT_EQ(ui_.PagesShown.back(), Page::Flow);
  EXPECT_EQ(ws_->Estimation().Flow().Objective,
            FormatGeneral(ws_->Estimation().BestObjective, 15));
  EXPECT_EQ(ws_->Estimation().OperationMode, 0);
  // F-limits restart from the new value.
  EXPECT_EQ(ws_->Parameters.HiFLimit[1], ws_->Parameters.Value[1]);
}

TEST_F(Optimization, AStartThatCannotBeSolvedEndsTheRunWithTheMessage) {
  ws_->Model.UnloadModelLibrary(BoxesOf(ui_));
  Load("fault_fdiv");
  ws_->OptimizeAction();
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{msg::kInitialSolveFailed});
  EXPECT_FALSE(ws_->Estimation().ObjectiveReady);
  EXPECT_EQ(ws_->Estimation().OperationMode, 0);
}

TEST_F(Optimization, ChangingTheObjectiveMakesTheNextStepEvaluateAgain) {
  Run(&Workspace::OptimizeAction, 2);
  ws_->Estimation().SetObjectiveFunc(TObjectiveKind::WeightedSS);
  EXPECT_FALSE(ws_->Estimation().ObjectiveReady);
  Run(&Workspace::OptimizeAction, 1);
  TResponseSums sums{};
  ws_->Problem().Solve(ws_->Parameters.Value);
  EXPECT_DOUBLE_EQ(ws_->Estimation().BestObjective, WeightedSS(ws_->MeasuredData.YData, sums));
}

class GaussNewton : public test::ModelTest {
 protected:
  void Fit(const char* model, const std::vector<double>& times, const std::vector<double>& y,
           double a, double b) {
    TwoParameterProblem(model, times, y, a, b);
  }
};

// The least-squares line through four points: V = (X'X)^-1 = [[1.5, -0.5], [-0.5, 0.2]],
// residual sum 0.082 with nu = 4 - 1 - 2 = 1, t = 12.706.
TEST_F(GaussNewton, StandardErrorsAreTheHalfWidthsOfTheLine) {
  Fit("linear", {1, 2, 3, 4}, {3.1, 4.9, 7.2, 8.8}, 1.15, 1.94);
  ws_->StdErr();
  const TStatistics& s = ws_->Estimation().Result.Statistics;
  EXPECT_EQ(s.Observations, 4);
  EXPECT_EQ(s.Dof, 1);
  EXPECT_NEAR(s.TValue, 12.706, 1e-12);
  EXPECT_NEAR(s.Variance, 0.082, 1e-9);
  EXPECT_NEAR(ws_->Parameters.StdError[1], std::sqrt(0.082 * 1.5) * 12.706, 1e-5);
  EXPECT_NEAR(ws_->Parameters.StdError[2], std::sqrt(0.082 * 0.2) * 12.706, 1e-5);
  EXPECT_TRUE(ws_->Parameters.StdErrValid[1] && ws_->Parameters.StdErrValid[2]);
  EXPECT_NEAR(s.Correlation[1][1], 1, 1e-12);
  EXPECT_NEAR(s.Correlation[1][2], -0.5 / std::sqrt(1.5 * 0.2), 1e-6);
  EXPECT_NEAR(s.CorrelationDeterminant, 1 - 0.5 * 0.5 / (1.5 * 0.2), 1e-6);
  EXPECT_EQ(ws_->ParamGrids().PDGrid().Text(4, 1),
            FormatSignificant(ws_->Parameters.StdError[1], 6));
  EXPECT_EQ(ui_.PagesShown.back(), Page::ParameterDetails);
  EXPECT_TRUE(ui_.Messages.empty());
}

TEST_F(GaussNewton, TheCovarianceGridShowsTheCorrelationsAndEmphasizesStrongOnes) {
  Fit("linear", {1, 2, 3, 4}, {3.1, 4.9, 7.2, 8.8}, 1.15, 1.94);
  ws_->Parameters.StdError[1] = 0.5;
  ws_->CovariancesAction();
  const CovarianceGrid& grid = ws_->CovarGrid;
  EXPECT_EQ(grid.Text(1, 1), "1.00");
  EXPECT_EQ(grid.Text(2, 1), FormatSignificant(-0.5 / std::sqrt(1.5 * 0.2), 3));
  EXPECT_TRUE(grid.TextDrawn(2, ws_->Parameters));
  EXPECT_FALSE(grid.TextDrawn(3, ws_->Parameters));
  EXPECT_TRUE(grid.Emphasized(2, 1, 0.9f));
  EXPECT_FALSE(grid.Emphasized(2, 1, 0.95f));
  EXPECT_FALSE(grid.Emphasized(1, 1, 0.9f));  // the diagonal's 1 is no alarm
  // r = -0.913: a clear blue (blue full, red and green as one and well below it); the
  // diagonal stays white.
  EXPECT_EQ(grid.Tint(1, 1), kWhite);
  const TColor tint = grid.Tint(2, 1);
  EXPECT_EQ(tint >> 16 & 0xFF, 0xFF);
  EXPECT_EQ(tint & 0xFF, tint >> 8 & 0xFF);
  EXPECT_LT(tint & 0xFF, 0xC0);
  EXPECT_EQ(grid.DeterminantLine(),
            "Covariance matrix determinant = " +
                FormatGeneral(ws_->Estimation().Result.Statistics.CorrelationDeterminant, 6));
  EXPECT_EQ(ws_->Parameters.StdError[1], 0.5);  // the column keeps its values
  EXPECT_EQ(ui_.PagesShown.back(), Page::Covariances);
  // Ctrl+C copies what is drawn: a column without standard errors gives empty cells, and a
  // selection reaching past the grid is clipped to it.
  const std::string r12 = grid.Text(2, 1);
  EXPECT_EQ(grid.SelectionText({1, 1, 3, 2}, ws_->Parameters),
            "1.00\t" + r12 + "\t\r\n" + r12 + "\t1.00\t\r\n");
  EXPECT_EQ(grid.SelectionText({19, 20, 40, 30}, ws_->Parameters), "\t\r\n");
}

// A weighted fit's covariance is that of the fit made: V from the statistics against 2 H^-1,
// H the Hessian of the weighted objective by differences of the objective alone (its
// Gauss-Newton part dominates at 1 % residuals). Data over three decades.
TEST_F(GaussNewton, WeightedStatisticsAreThoseOfTheWeightedObjective) {
  std::vector<double> times, y;
  for (int j = 0; j <= 20; ++j) {
    times.push_back(j);
    y.push_back(2 * std::exp(-0.3 * j) * (1 + 0.01 * std::sin(3.7 * j)));
  }
  Fit("algebraic", times, y, 2, 0.3);
  ws_->Estimation().SetObjectiveFunc(TObjectiveKind::WeightedSS);
  ASSERT_EQ(LMSearch(ws_->Estimation().Ground(), {}).Reason, SearchEnd::Converged);
  ws_->CovariancesAction();
  const TStatistics& s = ws_->Estimation().Result.Statistics;
  const T20Vector best = ws_->Parameters.Value;
  const auto objective = [&](double da, double db) {
    T20Vector p = best;
    p[1] += da;
    p[2] += db;
    EXPECT_EQ(ws_->Problem().Solve(p), SolveResult::Solved);
    return ws_->Problem().Objective();
  };
  const double h[] = {0, 1e-3 * best[1], 1e-3 * best[2]};
  const double s0 = objective(0, 0);
  const double haa = (objective(h[1], 0) - 2 * s0 + objective(-h[1], 0)) / (h[1] * h[1]);
  const double hbb = (objective(0, h[2]) - 2 * s0 + objective(0, -h[2])) / (h[2] * h[2]);
  const double hab = (objective(h[1], h[2]) - objective(h[1], -h[2]) - objective(-h[1], h[2]) +
                      objective(-h[1], -h[2])) / (4 * h[1] * h[2]);
  const double det = haa * hbb - hab * hab;
  const double vaa = 2 * hbb / det, vbb = 2 * haa / det, vab = -2 * hab / det;
  const double varianceA = std::pow(s.StdError[1] / s.TValue, 2) / s.Variance;
  const double varianceB = std::pow(s.StdError[2] / s.TValue, 2) / s.Variance;
  EXPECT_NEAR(varianceA / vaa, 1, 0.05);
  EXPECT_NEAR(varianceB / vbb, 1, 0.05);
  EXPECT_NEAR(s.Correlation[1][2], vab / std::sqrt(vaa * vbb), 0.02);
}

// The results stay with the estimates they belong to: a save of unchanged data keeps the
// standard errors (and the report prints them); a new model forgets the old best value.
TEST_F(GaussNewton, SavingTheDataKeepsTheResultsAndANewModelForgetsThem) {
  Fit("linear", {1, 2, 3, 4}, {3.1, 4.9, 7.2, 8.8}, 1.15, 1.94);
  ws_->OptimizeGNAction();
  ws_->StdErr();
  const double error = ws_->Parameters.StdError[1];
  test::TempFolder folder;
  ui_.DialogAnswers.push_back(folder.File("line.zkd"));
  ws_->SaveDataFileAs();
  EXPECT_TRUE(ws_->Parameters.StdErrValid[1]);
  EXPECT_EQ(ws_->ParamGrids().PDGrid().Text(4, 1), FormatSignificant(error, 6));
  ws_->BuildReport();
  const std::size_t at = ws_->Report.size();
  bool printed = false;
  for (std::size_t i = 0; i < at; ++i)
    for (const RichRun& run : ws_->Report[i].Runs)
      printed = printed || run.Text.find(FormatSignificant(error, 8)) != std::string::npos;
  EXPECT_TRUE(printed);

  EXPECT_FALSE(ws_->Estimation().Flow().Objective.empty());
  ui_.Answers.push_back(Answer::No);  // the test's model text is no document worth saving
  ws_->NewModelFile();
  EXPECT_TRUE(ws_->Estimation().Flow().Objective.empty());
  EXPECT_FALSE(ws_->Estimation().ObjectiveReady);
  EXPECT_TRUE(ws_->Estimation().Result.Progress.empty());
}

TEST_F(GaussNewton, StandardErrorsThatCannotBeComputedSaySoAndShowNone) {
  struct Case {
    std::vector<double> times;
    int parameters;
    std::string message;
  } cases[] = {
      {{1, 2, 3}, 2, FillPlaceholders(msg::kTooFewObservations, {"3", "2", "0"})},
      {{1, 2, 3, 4, 5}, 3, msg::kNormalMatrixSingular},  // the third is never read
  };
  for (const Case& c : cases) {
    Fit("linear", c.times, std::vector<double>(c.times.size(), 1.0), 1, 0.1);
    Type(Dimension::Param, std::to_string(c.parameters));
    ws_->Parameters.StdErrValid[1] = true;
    ui_.Messages.clear();
    EXPECT_FALSE(ws_->Estimation().ComputeStdErrors());
    EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{c.message});
    EXPECT_FALSE(ws_->Parameters.StdErrValid[1]);
    ws_->Model.UnloadModelLibrary(BoxesOf(ui_));
  }
}

TEST_F(Optimization, TheOptimizeButtonRepeatsTheSearchChosenLastFromItsMenu) {
  EXPECT_EQ(ws_->Estimation().OptimizeButtonSearch, kRandomSearch);
  ui_.OnProcessEvents = [&] { ws_->Estimation().Stop(); };
  ws_->Estimation().ChooseOptimizeButtonSearch(kLJSearch);  // choosing runs it at once
  EXPECT_EQ(ws_->Parameters.Region[1], 3.0);                // the LJ action set the regions
  ws_->Parameters.Region[1] = 1;
  ui_.OnProcessEvents = [&] { ws_->Estimation().Stop(); };
  ws_->Estimation().OptimizeButtonClick();
  EXPECT_EQ(ws_->Parameters.Region[1], 3.0);
  ws_->Parameters.InitialValue[1] = 0;
  ui_.OnProcessEvents = [&] { ws_->Estimation().Stop(); };
  ws_->Estimation().ChooseOptimizeButtonSearch(kRandomSearch);
  EXPECT_EQ(ws_->Parameters.InitialValue[1], 3.0);  // the plain search remembered its start
}

TEST_F(Optimization, ADataEditKeepsFixedMarksAndForgetsStandardErrors) {
  ws_->Parameters.Fixed[1] = true;
  ws_->Parameters.StdError[1] = 0.3;
  ws_->Parameters.StdErrValid[1] = true;
  ws_->Estimation().TotalCalls = 50;
  ws_->SetDataSaved(false);
  EXPECT_TRUE(ws_->Parameters.Fixed[1]);
  EXPECT_FALSE(ws_->Parameters.StdErrValid[1]);
  EXPECT_EQ(ws_->Estimation().TotalCalls, 1u);
}

}  // namespace
}  // namespace zelk
