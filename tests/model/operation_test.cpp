#include "estimation/operation.h"

#include <gtest/gtest.h>

#include "support/model_fixture.h"

namespace zelk {
namespace {

using test::ModelTest;

TEST_F(ModelTest, TheMessagePaneKeepsTheLastLines) {
  const int added = MessageLog::kMaxLines + 1;
  for (int i = 1; i <= added; ++i) ws_->Log.AddMessage("line " + std::to_string(i));
  ASSERT_EQ(ws_->Log.Lines().size(), MessageLog::kMaxLines);
  EXPECT_EQ(ws_->Log.Lines().front(), "line 2");
  EXPECT_EQ(ws_->Log.Lines().back(), "line " + std::to_string(added));
  EXPECT_GE(ui_.Repaints[View::Messages], added);
}

TEST_F(ModelTest, StopWithNothingRunningHidesTheProgressWindowAndStaysIdle) {
  ws_->Estimation().Stop();
  EXPECT_EQ(ws_->Estimation().OperationMode, 0);
  EXPECT_FALSE(ui_.ProgressShown);
  EXPECT_EQ(ui_.ProgressChanges, 1);
}

TEST_F(ModelTest, StopDuringTheLoopEndsItAfterTheRunningStep) {
  int steps = 0;
  ws_->Estimation().RunOperation(kRandomSearch, [&] {
    ++steps;
    if (steps == 3) ui_.OnProcessEvents = [&] { ws_->Estimation().Stop(); };
  });
  EXPECT_EQ(steps, 3);
  EXPECT_EQ(ws_->Estimation().OperationMode, 0);
}

TEST_F(ModelTest, ASearchWithoutALibraryEndsAfterItsFirstStep) {
  Data(1, 1, {0, 1});
  const SearchSummary summary = GaussNewtonSearch(ws_->Estimation().Ground(), {});
  EXPECT_EQ(summary.Reason, SearchEnd::InitialSolveFailed);
  EXPECT_EQ(ws_->Estimation().OperationMode, kIdle);
  EXPECT_EQ(ui_.TakeMessages(), (std::vector<std::string>{kNoLibrary, msg::kInitialSolveFailed}));
}

TEST_F(ModelTest, ResetModelUnloadsTheLibraryAndClearsTheTemplate) {
  Load("decay");
  ws_->Model.DyTemplate[3] = 9;
  ws_->Estimation().ObjectiveReady = ws_->Estimation().LimitReady = ws_->Chart().CurveReady = true;
  ui_.Panels.clear();
  ws_->ResetModel();
  EXPECT_TRUE(ws_->Model.LibFileName.empty());
  EXPECT_EQ(ws_->Model.DyTemplate[3], 0);
  EXPECT_FALSE(ws_->Estimation().ObjectiveReady || ws_->Estimation().LimitReady ||
               ws_->Chart().CurveReady);
  // Both panels are rewritten even though they read the same before.
  EXPECT_EQ(ui_.Panels[1], "UntitledModel.mod [Saved]");
  EXPECT_EQ(ui_.Panels[2], "Not Compiled");
}

}  // namespace
}  // namespace zelk
