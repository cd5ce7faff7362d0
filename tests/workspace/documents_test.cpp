#include <gtest/gtest.h>

#include "base/messages.h"
#include "support/temp_folder.h"
#include "support/workspace_fixture.h"

namespace zelk {
namespace {

using test::WorkspaceTest;

TEST_F(WorkspaceTest, ClosingWithNothingUnsavedAsksNothing) {
  EXPECT_TRUE(ws_->RequestClose());
  EXPECT_TRUE(ui_.Messages.empty());
}

TEST_F(WorkspaceTest, ClosingAsksAboutTheDataFirstAndCancelThereStopsEverything) {
  ws_->ReplaceModelText("dy^[1] := 0;");  // an empty untitled model is never modified
  Type(Dimension::Dep, "2");  // both documents modified
  ui_.Answers = {Answer::Cancel};
  EXPECT_FALSE(ws_->RequestClose());
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{msg::kDiscardData});
  EXPECT_EQ(ui_.UnscriptedQuestions, 0);
}

TEST_F(WorkspaceTest, ClosingAsksAboutTheModelAfterTheData) {
  ws_->ReplaceModelText("dy^[1] := 0;");  // an empty untitled model is never modified
  Type(Dimension::Dep, "2");
  ui_.Answers = {Answer::No, Answer::Cancel};
  EXPECT_FALSE(ws_->RequestClose());
  EXPECT_EQ(ui_.TakeMessages(), (std::vector<std::string>{msg::kDiscardData, msg::kDiscardModel}));
  ui_.Answers = {Answer::No, Answer::No};
  EXPECT_TRUE(ws_->RequestClose());
}

TEST_F(WorkspaceTest, YesThenCancelInTheSaveDialogEndsTheOperationAndKeepsTheDocument) {
  struct Case {
    const char* operation;
    std::function<void(Workspace&)> run;
    bool data;  // the unsaved document is the data set, else the model
  } cases[] = {
      {"close", [](Workspace& ws) { EXPECT_FALSE(ws.RequestClose()); }, true},
      {"new data", [](Workspace& ws) { ws.NewDataFile(); }, true},
      {"open data", [](Workspace& ws) { ws.OpenDataFile(); }, true},
      {"new model", [](Workspace& ws) { ws.NewModelFile(); }, false},
      {"open model", [](Workspace& ws) { ws.OpenModelFile(); }, false},
  };
  for (const Case& c : cases) {
    ws_ = std::make_unique<Workspace>(ui_);
    ws_->Start();
    Type(Dimension::Dep, "2");
    SetValue(3, 1, 7);
    ws_->SetDataSaved(true);
    if (c.data) ws_->SetDataSaved(false);
    if (!c.data) ws_->ModelTextChanged("dy^[1] := 0;");
    ui_.Messages.clear();
    ui_.SaveRequests.clear();
    ui_.OpenRequests.clear();
    ui_.Answers = {Answer::Yes};
    ui_.DialogAnswers = {std::nullopt};  // the save dialog is cancelled
    c.run(*ws_);
    EXPECT_EQ(ui_.SaveRequests.size(), 1u) << c.operation;
    EXPECT_TRUE(ui_.OpenRequests.empty()) << c.operation;
    EXPECT_EQ(ws_->DataSaved, !c.data) << c.operation;
    EXPECT_EQ(ws_->MeasuredData.YData.DepCount, 2) << c.operation;
    EXPECT_EQ(ws_->MeasuredData.YData.M[1][2], 7) << c.operation;
    EXPECT_EQ(ws_->ModelText, c.data ? "" : "dy^[1] := 0;") << c.operation;
  }
}

TEST_F(WorkspaceTest, DiscardQuestionsUseYesNoCancelWarnings) {
  ws_->ReplaceModelText("dy^[1] := 0;");  // an empty untitled model is never modified
  Type(Dimension::Dep, "2");
  ui_.Answers = {Answer::No, Answer::No};
  ws_->ConfirmDiscardData();
  ws_->ConfirmDiscardModel();
  ASSERT_EQ(ui_.Messages.size(), 2u);
  for (const auto& m : ui_.Messages) {
    EXPECT_EQ(m.Kind, MessageKind::Warning);
    EXPECT_EQ(m.ButtonSet, Buttons::YesNoCancel);
  }
}

TEST_F(WorkspaceTest, CloseDuringAComputationAsksFirstAndNoChangesNothing) {
  ws_->Estimation().OperationMode = 1;
  Type(Dimension::Dep, "2");
  ui_.Answers = {Answer::No};
  EXPECT_FALSE(ws_->RequestClose());
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{msg::kTerminateProcess});
  EXPECT_EQ(ws_->Estimation().OperationMode, 1);
}

TEST_F(WorkspaceTest, CloseConfirmedDuringAComputationWaitsUntilItReturns) {
  ws_->ReplaceModelText("dy^[1] := 0;");  // an empty untitled model is never modified
  Type(Dimension::Dep, "2");
  ui_.Answers = {Answer::Yes, Answer::No, Answer::No};
  int stepsAfterClose = 0;
  {
    RunController::ComputationScope running(ws_->Estimation());
    ws_->Estimation().OperationMode = 1;
    ui_.OnProcessEvents = [&] { EXPECT_FALSE(ws_->RequestClose()); };
    // The computation's step loop: it tests OperationMode after every event round.
    while (ws_->Estimation().OperationMode != 0) {
      ui_.ProcessEvents();
      if (ws_->Estimation().ClosePending()) ++stepsAfterClose;
      // The workspace is still whole while the computation finishes its step.
      ws_->MeasuredData.YData.M[1][1] += 1;
    }
    EXPECT_EQ(ui_.CloseRequests, 0);
  }
  EXPECT_EQ(stepsAfterClose, 1);
  EXPECT_EQ(ui_.TakeMessages(), (std::vector<std::string>{msg::kTerminateProcess, msg::kDiscardData,
                                                          msg::kDiscardModel}));
  EXPECT_EQ(ui_.CloseRequests, 1);
  // The window's close that follows asks nothing again.
  EXPECT_TRUE(ws_->RequestClose());
  EXPECT_TRUE(ui_.Messages.empty());
}

TEST_F(WorkspaceTest, CloseCancelledDuringAComputationLetsItRunOn) {
  Type(Dimension::Dep, "2");
  ui_.Answers = {Answer::Yes, Answer::Cancel};
  {
    RunController::ComputationScope running(ws_->Estimation());
    ws_->Estimation().OperationMode = 4;
    EXPECT_FALSE(ws_->RequestClose());
  }
  EXPECT_EQ(ui_.CloseRequests, 0);
  // Yes to the first question already stopped the computation.
  EXPECT_EQ(ws_->Estimation().OperationMode, 0);
}

TEST_F(WorkspaceTest, ResetModelMarksTheModelSavedAndNotCompiled) {
  Type(Dimension::DifEq, "3");
  Type(Dimension::AlgEq, "2");
  Type(Dimension::Param, "5");
  ws_->ModelFileName = "/models/decay.mod";
  ws_->Model.ModelCompiled = true;
  ws_->ResetModel();
  EXPECT_TRUE(ws_->ModelFileName.empty());
  EXPECT_FALSE(ws_->Model.ModelCompiled);
  EXPECT_EQ(ws_->Model.DifEqCount, 0);
  EXPECT_EQ(ws_->Model.AlgEqCount, 0);
  EXPECT_EQ(ws_->Parameters.Count, 1);
  EXPECT_EQ(ui_.Panels[2], "Not Compiled");
}

TEST_F(WorkspaceTest, PanelsShowTheFileNamePartAndTheSavedState) {
  ws_->DataFileName = "/home/ana/runs/decay.zkd";
  ws_->DataSaved = true;
  EXPECT_EQ(ws_->DataPanelText(), "decay.zkd [Saved]");
  ws_->ModelFileName = "/home/ana/models/chain.mod";
  ws_->Model.ModelSaved = false;
  EXPECT_EQ(ws_->ModelPanelText(), "chain.mod [Modified]");
}

TEST_F(WorkspaceTest, YesToDiscardingAnUntitledModelAsksWhereToSaveIt) {
  ws_->ReplaceModelText("dy^[1] := 0;");  // an empty untitled model is never modified
  Type(Dimension::Param, "2");
  ui_.Answers = {Answer::Yes};
  ui_.DialogAnswers = {std::nullopt};
  EXPECT_FALSE(ws_->ConfirmDiscardModel());  // the cancelled save ends the operation
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{msg::kDiscardModel});
  ASSERT_EQ(ui_.SaveRequests.size(), 1u);
  EXPECT_EQ(ui_.SaveRequests[0].Title, "Save Model Source As ...");
  EXPECT_FALSE(ws_->Model.ModelSaved);
}

// The objective type, the Optimize button's search and the recent files outlive the session.
TEST(SessionChoices, TheNextSessionStartsWithTheChoicesTheLastOneEndedWith) {
  test::TempFolder folder;
  const std::string ini = folder.File("zelk20.ini");
  {
    test::ScriptedUi ui;
    Workspace ws(ui);
    ws.PreferencesFile = ini;
    ws.Start();
    ws.Estimation().SetObjectiveFunc(TObjectiveKind::Likelihood);
    ws.SetDataFileName("/d/b.zkd");
    ws.SetModelFileName("/m/a.mod");
    ws.SetDataFileName("/d/b.zkd");  // again: to the top, once
    ws.Shutdown();
  }
  test::ScriptedUi ui;
  Workspace ws(ui);
  ws.PreferencesFile = ini;
  ws.Start();
  EXPECT_EQ(ws.Problem().ObjectiveKind, TObjectiveKind::Likelihood);
  EXPECT_EQ(ws.Prefs.RecentFiles[0], "/d/b.zkd");
  EXPECT_EQ(ws.Prefs.RecentFiles[1], "/m/a.mod");
  EXPECT_EQ(ws.Prefs.RecentFiles[2], "");
  for (int i = 0; i < 10; ++i) ws.RememberRecent("/f" + std::to_string(i));
  EXPECT_EQ(ws.Prefs.RecentFiles.back(), "/f2");  // eight kept, newest first
}

}  // namespace
}  // namespace zelk
