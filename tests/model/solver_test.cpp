#include "model/solver.h"

#include <gtest/gtest.h>

#include <cmath>

#include "estimation/operation.h"
#include "support/model_fixture.h"

namespace zelk {
namespace {

using test::ModelTest;

void ExpectClose(double actual, double expected, double relative) {
  EXPECT_LE(std::fabs(actual - expected), relative * std::fabs(expected))
      << actual << " vs " << expected;
}

TEST_F(ModelTest, DecayFollowsItsAnalyticSolutionAtEveryEvent) {
  Load("decay");
  const std::vector<double> times = {0, 0.1, 0.5, 1, 2, 3.5, 5, 8, 10};
  Data(1, 1, times, 2.0);
  ASSERT_EQ(Solve({0.7}), SolveResult::Solved);
  for (std::size_t j = 1; j <= times.size(); ++j)
    ExpectClose(C(j), 2.0 * std::exp(-0.7 * times[j - 1]), 1e-3);
  EXPECT_GT(ws_->Problem().Stats.DerivativeCalls, 0);
  EXPECT_EQ(ws_->Problem().Stats.DerivativeCalls % 5, 0);  // five evaluations an attempt
}

TEST_F(ModelTest, AChainOfStatesConservesItsMass) {
  Load("chain");
  Data(5, 5, {0, 1, 2, 4, 8});
  for (int i = 2; i <= 5; ++i) ws_->MeasuredData.YData.M[1][i] = 0;
  ASSERT_EQ(Solve({0.9, 0.4}), SolveResult::Solved);
  for (int j = 1; j <= 5; ++j) {
    double total = 0;
    for (int i = 1; i <= 5; ++i) total += C(j, i);
    ExpectClose(total, 1.0, 1e-4);
  }
  ExpectClose(C(5, 1), std::exp(-0.9 * 8), 1e-3);
}

TEST_F(ModelTest, EachExperimentStartsFromItsOwnMeasuredRow) {
  Load("decay");
  Data(1, 1, {0, 1, 2, 3, 0, 1, 2});  // time restarts at event 5
  ws_->MeasuredData.YData.M[5][1] = 4.0;
  ASSERT_EQ(Solve({1.0}), SolveResult::Solved);
  EXPECT_EQ(C(5), 4.0);
  ExpectClose(C(7), 4.0 * std::exp(-2.0), 1e-3);
  ExpectClose(C(4), std::exp(-3.0), 1e-3);
  EXPECT_EQ(ws_->Model.StartState[1], 4.0);
  EXPECT_EQ(ws_->Model.StartPoint[1], 0.0);
}

TEST_F(ModelTest, AChangedConditionStartsAnExperimentEvenWhenTimeGoesOn) {
  Load("condition");
  Data(1, 1, {0, 1, 2, 3});
  Type(Dimension::Indep, "2");
  for (int j = 1; j <= 4; ++j) {
    ws_->MeasuredData.XData.X[j][2] = j <= 2 ? 1.0 : 2.0;
    ws_->MeasuredData.XData.Defined[j][2] = true;
  }
  ws_->MeasuredData.YData.M[3][1] = 3.0;
  ASSERT_EQ(Solve({0.5}), SolveResult::Solved);
  ExpectClose(C(2), std::exp(-0.5), 1e-3);
  EXPECT_EQ(C(3), 3.0);  // event 3 starts the second experiment
  ExpectClose(C(4), 3.0 * std::exp(-1.0), 1e-3);
}

TEST_F(ModelTest, AZeroLengthIntervalKeepsTheStateAndTheNextStartsAfresh) {
  Load("decay");
  Data(1, 1, {0, 1, 1, 2});
  ASSERT_EQ(Solve({1.0}), SolveResult::Solved);
  EXPECT_EQ(C(3), C(2));
  ExpectClose(C(4), std::exp(-2.0), 1e-3);
}

TEST_F(ModelTest, NegativeStatesNeverFailOnPrecision) {
  Load("decay");
  Data(1, 1, {0, 1, 5, 20, 50}, -3.0);
  ws_->Prefs.ShowIntegrationErrors = true;
  // Their error counts as 0, so no interval ever fails on precision.
  EXPECT_EQ(Solve({2.0}), SolveResult::Solved);
  EXPECT_EQ(ws_->Problem().Stats.PrecisionFailures, 0);
  EXPECT_TRUE(ws_->Log.Lines().empty());
}

TEST_F(ModelTest, TheStaticSectionAddsADoseAtItsEvent) {
  Load("dose");
  Data(1, 1, {0, 1, 2, 3}, 1.0);
  ASSERT_EQ(Solve({0.5, 10.0}), SolveResult::Solved);
  const double atTwo = std::exp(-1.0) + 10.0;
  ExpectClose(C(3), atTwo, 1e-3);
  ExpectClose(C(4), atTwo * std::exp(-0.5), 1e-3);
}

TEST_F(ModelTest, AnAlgebraicModelIsEvaluatedAtEveryEvent) {
  Load("algebraic");
  Data(1, 0, {0, 1, 2});
  ASSERT_EQ(Solve({3.0, 0.5}), SolveResult::Solved);
  for (int j = 1; j <= 3; ++j) EXPECT_DOUBLE_EQ(C(j), 3.0 * std::exp(-0.5 * (j - 1)));
  EXPECT_EQ(ws_->Problem().Stats.AcceptedSteps, 0);
}

TEST_F(ModelTest, ASolutionWritesNothingBeyondItsCounts) {
  Load("decay");
  Data(1, 1, {0, 1, 2});
  TYData& y = ws_->MeasuredData.YData;
  for (int j = 1; j <= 5; ++j)
    for (int i = 1; i <= 3; ++i) y.C[j][i] = -7;
  ASSERT_EQ(Solve({1.0}), SolveResult::Solved);
  EXPECT_EQ(y.C[4][1], -7);
  for (int j = 1; j <= 5; ++j) EXPECT_EQ(y.C[j][2], -7) << j;
}

TEST_F(ModelTest, WithoutALibraryTheSolutionSaysSo) {
  Data(1, 1, {0, 1});
  EXPECT_EQ(Solve({1.0}), SolveResult::NoLibrary);
  EXPECT_EQ(
      ui_.TakeMessages(),
      std::vector<std::string>{
          "No model library is currently loaded\nLoaded model source must be compiled before use"});
}

TEST_F(ModelTest, EveryFaultingModelFailsTheSolutionAndLeavesTheWorkspaceUsable) {
  for (const std::uint8_t integrator : {kMerson, kBdf})
    for (const char* fault : {"fault_fdiv", "fault_idiv", "fault_overflow", "fault_invalid",
                              "fault_nil", "fault_illegal", "fault_runtime", "fault_initial"}) {
      ws_->Prefs.Integrator = integrator;
      Load(fault);
      Data(1, 1, {0, 1, 2});
      // A model that faults on every call must never come back as a success.
      EXPECT_EQ(Solve({1.0}), SolveResult::ModelFault) << fault << " " << int{integrator};
      ws_->Model.UnloadModelLibrary(BoxesOf(ui_));
    }
  Load("decay");
  EXPECT_EQ(Solve({1.0}), SolveResult::Solved);
  EXPECT_TRUE(ui_.Messages.empty());
}

TEST_F(ModelTest, AModelThatFaultsOnlyAfterThousandsOfCallsFailsThen) {
  Load("fault_late");
  Data(1, 1, {0, 1, 2, 3});
  int solutions = 0;
  SolveResult result;
  while ((result = Solve({1.0})) == SolveResult::Solved && solutions < 1000) ++solutions;
  EXPECT_EQ(result, SolveResult::ModelFault);
  EXPECT_GT(solutions, 3);
  EXPECT_GT(ws_->Problem().Stats.DerivativeCalls, 3000);
}

TEST_F(ModelTest, AMissingInitialEquationsFailsTheSolution) {
  ws_->Model.LoadModelLibrary(std::string(MODEL_DIR) + "/libonly_dynamic.so", BoxesOf(ui_));
  Data(1, 1, {0, 1});
  EXPECT_EQ(Solve({1.0}), SolveResult::ModelFault);
}

class EarlyAbort : public ModelTest {
 protected:
  // Ten events measured far from the model: the partial sum passes 0.5 at event 2.
  void SetUp() override {
    Load("decay");
    Data(1, 1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 1.0, 5.0);
    ClearComputed();
  }
  void ClearComputed() {
    for (int j = 1; j <= 10; ++j) ws_->MeasuredData.YData.C[j][1] = -1;
  }
  static constexpr EarlyStop kAbandon{EarlyStop::Rule::Abandon, 0.5};
  static constexpr EarlyStop kTruncate{EarlyStop::Rule::Truncate, 0.5};
};

TEST_F(EarlyAbort, AbandonsALosingTrialWithoutCallingItAFailure) {
  const SolveResult result = Solve({1.0}, kAbandon);
  EXPECT_EQ(result, SolveResult::Abandoned);
  EXPECT_FALSE(IsFailure(result));
  EXPECT_EQ(C(3), -1);  // never reached
  EXPECT_GT(ws_->Problem().PartialSum(), 0.5);
  EXPECT_DOUBLE_EQ(ws_->Problem().PartialSum(), PartialSumOfSquares(ws_->MeasuredData, 2));
}

TEST_F(EarlyAbort, TruncatesAsSolvedAndOtherwiseSolvesEveryEvent) {
  EXPECT_EQ(Solve({1.0}, kTruncate), SolveResult::Solved);
  EXPECT_EQ(C(3), -1);
  EXPECT_EQ(Solve({1.0}), SolveResult::Solved);
  EXPECT_NE(C(10), -1);
  // A bound above the whole sum never stops the solution.
  ClearComputed();
  EXPECT_EQ(Solve({1.0}, {EarlyStop::Rule::Abandon, 1e9}), SolveResult::Solved);
  EXPECT_NE(C(10), -1);
}

TEST_F(EarlyAbort, AnAlgebraicModelIsNeverCutShort) {
  ws_->Model.UnloadModelLibrary(BoxesOf(ui_));
  Load("algebraic");
  Type(Dimension::DifEq, "0");
  EXPECT_EQ(Solve({1.0, 0.1}, kAbandon), SolveResult::Solved);
  EXPECT_NE(C(10), -1);
}

// The searches ask for the abandon rule only where a sum of squares is compared with a
// current best; the chart and the other objectives solve every event.
TEST_F(EarlyAbort, SearchesAbandonOnlyAgainstACurrentSumOfSquares) {
  struct Case {
    TObjectiveKind objective;
    bool ready;
    EarlyStop::Rule expected;
  } cases[] = {{TObjectiveKind::SumOfSquares, true, EarlyStop::Rule::Abandon},
               {TObjectiveKind::SumOfSquares, false, EarlyStop::Rule::None},
               {TObjectiveKind::BoxDraper, true, EarlyStop::Rule::None},
               {TObjectiveKind::WeightedSS, true, EarlyStop::Rule::None}};
  for (const Case& c : cases) {
    ws_->Problem().ObjectiveKind = c.objective;
    ws_->Estimation().ObjectiveReady = c.ready;
    ws_->Estimation().BestObjective = 0.25;
    const EarlyStop stop = ws_->Estimation().Ground().EarlyStopAtBest();
    EXPECT_EQ(stop.Kind, c.expected) << static_cast<int>(c.objective) << c.ready;
    if (stop.Kind == EarlyStop::Rule::Abandon) {
      EXPECT_EQ(stop.Bound, 0.25);
    }
  }
}

TEST(Solver, FirstStepIsAFractionOfTheRangeWithAFloor) {
  EXPECT_EQ(InitialStepSize({1, 0}), 1e-4);
  EXPECT_EQ(InitialStepSize({10, 0}), 2e-5 * 10);
  EXPECT_EQ(InitialStepSize({0, 100}), 2e-5 * 100);
  EXPECT_EQ(InitialStepSize({1000, 0}), 2e-5 * 1000);
  EXPECT_EQ(InitialStepSize({5, 5}), 1e-4);
}

TEST_F(ModelTest, PrecisionFailureIsReportedOnlyWhenAskedFor) {
  Load("decay");
  // A stiff decay over a long interval with a tiny step floor still converges, so force
  // the failure with a tolerance no step can meet.
  Data(1, 1, {0, 1});
  const MessageSink silent;
  SolveContext ctx{ws_->Model, ws_->MeasuredData, silent, ws_->Log, ws_->Problem().Stats};
  T20Vector p{};
  p[1] = 1;
  T50Vector y0{}, y{};
  y0[1] = 1;
  double h = 0.1;
  ctx.ShowIntegrationErrors = false;
  EXPECT_EQ(MersonIntegrate(ctx, p, ws_->MeasuredData.XData.X[1], ws_->MeasuredData.XData.X[2], y0,
                            y, h, 1e-300),
            SolveResult::PrecisionNotReached);
  EXPECT_TRUE(ws_->Log.Lines().empty());
  ctx.ShowIntegrationErrors = true;
  h = 0.1;
  EXPECT_EQ(MersonIntegrate(ctx, p, ws_->MeasuredData.XData.X[1], ws_->MeasuredData.XData.X[2], y0,
                            y, h, 1e-300),
            SolveResult::PrecisionNotReached);
  EXPECT_EQ(ws_->Log.Lines().back(), "!! Merson Fails: Required precision not achieved!");
}

}  // namespace
}  // namespace zelk
