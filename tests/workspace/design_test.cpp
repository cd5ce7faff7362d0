#include <gtest/gtest.h>

#include <algorithm>

#include "base/messages.h"
#include "estimation/experiment_design.h"
#include "model/jacobian.h"
#include "support/model_fixture.h"

namespace zelk {
namespace {

TEST(DesignData, CandidatesMergeInOrderWithTheFlagsOfTheEventThatFollows) {
  TDataSet measured;
  measured.XData.IndepCount = 1;
  measured.YData.DepCount = 2;
  measured.YData.EventCount = 3;
  const double x[] = {1, 2, 4};
  for (int j = 1; j <= 3; ++j) {
    measured.XData.X[j][1] = x[j - 1];
    measured.XData.Defined[j][1] = j != 2;  // event 2's time is missing
    measured.YData.M[j][1] = 10 * j;
    measured.YData.Defined[j][1] = true;
  }
  TDataSet design;
  std::vector<int> rows;
  ASSERT_TRUE(MergeDesignData(measured, {0.5, 2, 3, 9}, design, rows));
  EXPECT_EQ(design.YData.EventCount, 7);
  EXPECT_EQ(design.YData.DepCount, 2);
  std::vector<double> order;
  for (int j = 1; j <= 7; ++j) order.push_back(design.XData.X[j][1]);
  EXPECT_EQ(order, (std::vector<double>{0.5, 1, 2, 2, 3, 4, 9}));
  EXPECT_EQ(rows, (std::vector<int>{1, 4, 5, 7}));  // an event first on a tie
  EXPECT_TRUE(design.XData.Defined[1][1]);          // event 1 follows
  EXPECT_TRUE(design.XData.Defined[5][1]);          // event 3 follows
  EXPECT_FALSE(design.XData.Defined[7][1]);         // row 4 of the measured set, never defined
  EXPECT_TRUE(design.YData.Defined[4][2]);          // a candidate's responses all count
  EXPECT_FALSE(design.YData.Defined[3][2]);         // an event keeps its own flags
  EXPECT_EQ(design.YData.M[6][1], 30);

  measured.YData.EventCount = kMaxEventCount;
  EXPECT_FALSE(MergeDesignData(measured, {1}, design, rows));
}

TEST(DesignData, TheSearchEndsByItselfOnlyAfter5000IterationsPerPointAndAPositiveBest) {
  for (int points : {1, 20}) {
    DesignStopRule rule(points);
    long calls = 0;
    while (!rule.AfterIteration(1.0)) ++calls;
    EXPECT_EQ(calls + 1, 5000L * points + 49) << points;
  }
  // A best of 0 never divides: it ends the design at the first check that could, and a
  // first positive best there is recorded, not compared with 0.
  DesignStopRule zero(1);
  long zeroCalls = 1;
  while (!zero.AfterIteration(0)) ++zeroCalls;
  EXPECT_EQ(zeroCalls, 5049);
  DesignStopRule late(1);
  for (int i = 0; i < 5048; ++i) ASSERT_FALSE(late.AfterIteration(0));
  EXPECT_FALSE(late.AfterIteration(2.0));
  for (int i = 0; i < 49; ++i) ASSERT_FALSE(late.AfterIteration(2.0));
  EXPECT_TRUE(late.AfterIteration(2.0));
  // A best still growing by 0.1 % per check goes on.
  DesignStopRule growing(1);
  double best = 1;
  for (int i = 0; i < 20000; ++i) {
    if (i % 50 == 0) best *= 1.0011;
    ASSERT_FALSE(growing.AfterIteration(best)) << i;
  }
}

TEST(DesignDialogModel, EveryCloseIsValidatedAndCancelAlwaysPasses) {
  struct Case {
    const char *min, *max, *nr;
    DesignDialogModel::Field field;
    std::string message;
  } cases[] = {
      {"0", "10", "2", DesignDialogModel::Field::None, ""},
      {"a", "10", "x", DesignDialogModel::Field::Min, msg::kNumericRequired},
      {"0", "", "2", DesignDialogModel::Field::Max, msg::kNumericRequired},
      {"0", "1e3", "2.5", DesignDialogModel::Field::Nr, msg::kIntegerRequired},
      {"0", "1", "0", DesignDialogModel::Field::Nr, "Value must be an integer between 1 and 20!"},
      {"0", "1", "21", DesignDialogModel::Field::Nr, "Value must be an integer between 1 and 20!"},
  };
  for (const Case& c : cases) {
    DesignDialogModel d{c.min, c.max, c.nr};
    const auto [field, message] = d.Validate();
    EXPECT_EQ(field, c.field) << c.min << " " << c.max << " " << c.nr;
    EXPECT_EQ(message, c.message);
    d.Cancel();
    EXPECT_EQ(d.Validate().first, DesignDialogModel::Field::None);
    EXPECT_EQ(d.MaxText, "1");
  }
}

// The line y = p1 + p2 x measured at 1..5: a new point far from the others raises det(J'J)
// the most.
class Design : public test::ModelTest {
 protected:
  void SetUp() override { TwoParameterProblem("linear", {1, 2, 3, 4, 5}, {3, 5, 7, 9, 11}, 1, 2); }
  void Answer(const char* min, const char* max, const char* nr) {
    ui_.OnDesignDialog = [=](DesignDialogModel& d) {
      d.MinText = min;
      d.MaxText = max;
      d.NrText = nr;
      return true;
    };
  }
};

TEST_F(Design, ProposesTheFarEndAndShowsItOnTheChartInDesignMode) {
  Answer("0", "10", "1");
  ws_->DesignPointAction();
  ASSERT_EQ(ui_.DesignDialogsShown.size(), 1u);
  EXPECT_EQ(ui_.DesignDialogsShown[0].MinText, "1.00000");  // the data's range
  EXPECT_EQ(ui_.DesignDialogsShown[0].MaxText, "5.00000");
  EXPECT_EQ(ui_.DesignDialogsShown[0].NrText, "1");
  EXPECT_EQ(ws_->Chart().DesignPointCount, 1);
  EXPECT_GT(ws_->Chart().DesignPoints[1], 9.5);
  EXPECT_LE(ws_->Chart().DesignPoints[1], 10);
  EXPECT_TRUE(ws_->Chart().DesignModeChecked);
  EXPECT_EQ(ui_.PagesShown.back(), Page::FitChart);
  EXPECT_EQ(ws_->Estimation().OperationMode, 0);
  EXPECT_TRUE(ui_.Messages.empty());
  // The determinant kept is that of the measured events plus the point: n Sxx of six points.
  std::vector<double> xs = {1, 2, 3, 4, 5, ws_->Chart().DesignPoints[1]};
  double mean = 0, sxx = 0;
  for (double v : xs) mean += v / 6;
  for (double v : xs) sxx += (v - mean) * (v - mean);
  EXPECT_NEAR(ws_->Estimation().Result.DesignDeterminant, 6 * sxx, 1e-3 * 6 * sxx);
  // A design belongs to its model and data: a new model takes it off the chart.
  ui_.Answers = {Answer::No};  // the model is not saved
  ws_->NewModelFile();
  EXPECT_EQ(ws_->Chart().DesignPointCount, 0);
  EXPECT_FALSE(ws_->Chart().DesignModeChecked);
}

TEST_F(Design, SeveralPointsComeSortedAndAReversedRangeIsTheSameRange) {
  Answer("10", "-10", "3");
  SearchOptions options;
  ws_->DesignPointAction();
  ASSERT_EQ(ws_->Chart().DesignPointCount, 3);
  const auto& p = ws_->Chart().DesignPoints;
  EXPECT_TRUE(std::is_sorted(p.begin() + 1, p.begin() + 4));
  for (int i = 1; i <= 3; ++i) {
    EXPECT_GE(p[i], -10);
    EXPECT_LE(p[i], 10);
  }
  // The far ends win: the lowest near -10, the highest near 10.
  EXPECT_LT(p[1], -8);
  EXPECT_GT(p[3], 8);
  // The design data set is ordered by the independent variable.
  const TXData& x = ws_->Problem().DesignData().XData;
  for (int j = 2; j <= ws_->Problem().DesignData().YData.EventCount; ++j) EXPECT_LE(x.X[j - 1][1], x.X[j][1]);
}

TEST_F(Design, CancelAndTwoIndependentVariablesChangeNothing) {
  ws_->Chart().DesignPoints[1] = 7;
  ws_->Chart().DesignPointCount = 1;
  ws_->DesignPointAction();  // no script: the user cancels
  EXPECT_EQ(ws_->Chart().DesignPoints[1], 7);
  EXPECT_FALSE(ws_->Chart().DesignModeChecked);
  EXPECT_EQ(ui_.DesignDialogsShown.size(), 1u);

  Type(Dimension::Indep, "2");
  ui_.Messages.clear();
  Answer("0", "10", "1");
  ws_->DesignPointAction();
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{msg::kMultivariableDesign});
  EXPECT_EQ(ui_.DesignDialogsShown.size(), 1u);
  EXPECT_EQ(ws_->Chart().DesignPoints[1], 7);
}

TEST_F(Design, StopKeepsTheBestSoFarAndAFailingModelEndsItWithOneMessage) {
  int ticks = 0;
  std::function<void()> tick = [&] {
    if (++ticks == 200)
      ws_->Estimation().Stop();
    else
      ui_.OnProcessEvents = tick;
  };
  ui_.OnProcessEvents = tick;
  const SearchSummary stopped = DesignSearch(ws_->Estimation().Ground(), 1, 0, 10);
  EXPECT_EQ(stopped.Reason, SearchEnd::Stopped);
  EXPECT_EQ(stopped.Trials, 200);
  EXPECT_EQ(ws_->Estimation().Result.DesignPoints.size(), 1u);

  ws_->Model.UnloadModelLibrary(BoxesOf(ui_));
  ui_.Messages.clear();
  const SearchSummary failed = DesignSearch(ws_->Estimation().Ground(), 1, 0, 10);
  EXPECT_EQ(failed.Reason, SearchEnd::SolveFailed);
  // One box: the solver's word on the missing library, not one per iteration.
  EXPECT_EQ(ui_.TakeMessages().size(), 1u);
  EXPECT_TRUE(ws_->Estimation().Result.DesignPoints.empty());
}

class DesignFault : public test::ModelTest {};

TEST_F(DesignFault, AModelThatFaultsEndsTheDesignWithOneJacobianMessage) {
  Load("fault_above");  // faults whenever the rate is above 1.2
  Data(1, 1, {0, 0.5, 1, 2, 3});
  ws_->SetParameterValue(1, 2.0);
  const SearchSummary failed = DesignSearch(ws_->Estimation().Ground(), 1, 0, 5);
  EXPECT_EQ(failed.Reason, SearchEnd::SolveFailed);
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{kJacobianFailed});
  EXPECT_TRUE(ws_->Estimation().Result.DesignPoints.empty());
  EXPECT_EQ(ws_->Estimation().OperationMode, 0);
}

}  // namespace
}  // namespace zelk
