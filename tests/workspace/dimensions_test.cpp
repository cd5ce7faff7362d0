#include <gtest/gtest.h>

#include "base/messages.h"
#include "support/workspace_fixture.h"

namespace zelk {
namespace {

using test::WorkspaceTest;

int CountOf(const Workspace& ws, Dimension d) {
  switch (d) {
    case Dimension::Indep:
      return ws.MeasuredData.XData.IndepCount;
    case Dimension::Dep:
      return ws.MeasuredData.YData.DepCount;
    case Dimension::Events:
      return ws.MeasuredData.YData.EventCount;
    case Dimension::DifEq:
      return ws.Model.DifEqCount;
    case Dimension::AlgEq:
      return ws.Model.AlgEqCount;
    case Dimension::Param:
      return ws.Parameters.Count;
  }
  return -1;
}

TEST_F(WorkspaceTest, StartsWithTheDocumentedCountsPanelsAndPages) {
  Workspace fresh(ui_);
  ui_.PagesShown.clear();
  fresh.Start();
  const std::pair<Dimension, int> starts[] = {{Dimension::Indep, 1},  {Dimension::Dep, 1},
                                              {Dimension::Events, 1}, {Dimension::DifEq, 0},
                                              {Dimension::AlgEq, 0},  {Dimension::Param, 1}};
  for (auto [d, value] : starts) {
    EXPECT_EQ(CountOf(fresh, d), value);
    EXPECT_EQ(fresh.Dimensions().Control(d).Text, std::to_string(value));
    EXPECT_EQ(fresh.Dimensions().Control(d).Position, value);
  }
  EXPECT_EQ(ui_.Panels[0], "UntitledData.zkd [Saved]");
  EXPECT_EQ(ui_.Panels[1], "UntitledModel.mod [Saved]");
  EXPECT_EQ(ui_.Panels[2], "Not Compiled");
  EXPECT_EQ(ui_.PagesShown, (std::vector<Page>{Page::Data, Page::Dimension, Page::Messages}));
  EXPECT_TRUE(ui_.Messages.empty());
  EXPECT_EQ(fresh.Estimation().OperationMode, 0);
}

TEST_F(WorkspaceTest, ValidatesEveryDimensionTextLikeTyping) {
  struct Case {
    const char* name;
    Dimension dimension;
    const char* typed;
    int count;              // the count afterwards
    const char* fieldText;  // the field afterwards
    std::vector<std::string> messages;
    const char* before = nullptr;  // typed first, where the start value would hide the case
  } cases[] = {
      // The classic limits are no longer limits; memory's are.
      {"25 independent", Dimension::Indep, "25", 25, "25", {}},
      {"15001 independent",
       Dimension::Indep,
       "15001",
       15000,
       "15000",
       {"Value must be an integer between 1 and 15000!"}},
      {"0 parameters",
       Dimension::Param,
       "0",
       1,
       "1",
       {"Value must be an integer between 1 and 2000!"}},
      {"200 parameters", Dimension::Param, "200", 200, "200", {}},
      {"0 differential", Dimension::DifEq, "0", 0, "0", {}, "3"},
      {"600 algebraic", Dimension::AlgEq, "600", 600, "600", {}},
      {"-3 dependent",
       Dimension::Dep,
       "-3",
       1,
       "1",
       {"Value must be an integer between 1 and 15000!"}},
      {"20000 events", Dimension::Events, "20000", 20000, "20000", {}},
      {"300001 events",
       Dimension::Events,
       "300001",
       300000,
       "300000",
       {"Value must be an integer between 1 and 300000!"}},
      {"letters", Dimension::Events, "abc", 1, "abc", {"Integer value required!"}},
      {"decimal", Dimension::Dep, "2.5", 1, "2.5", {"Integer value required!"}},
      {"empty", Dimension::Indep, "", 1, "", {}},
      {"in range", Dimension::Dep, "7", 7, "7", {}},
  };
  for (const auto& c : cases) {
    test::ScriptedUi ui;
    Workspace ws(ui);
    ws.Start();
    if (c.before) ws.Dimensions().SetText(c.dimension, c.before);
    ui.Messages.clear();
    ws.Dimensions().SetText(c.dimension, c.typed);
    EXPECT_EQ(ui.TakeMessages(), c.messages) << c.name;
    EXPECT_EQ(CountOf(ws, c.dimension), c.count) << c.name;
    EXPECT_EQ(ws.Dimensions().Control(c.dimension).Text, c.fieldText) << c.name;
    EXPECT_EQ(ws.Dimensions().Control(c.dimension).Position, c.count) << c.name;
  }
}

TEST_F(WorkspaceTest, ATextThatIsNoIntegerChangesNoCount) {
  Type(Dimension::Dep, "3");
  Type(Dimension::Events, "12");
  Type(Dimension::Param, "4");
  ui_.Panels.clear();
  EXPECT_EQ(Type(Dimension::Events, "1x"), std::vector<std::string>{msg::kIntegerRequired});
  EXPECT_EQ(ws_->MeasuredData.YData.DepCount, 3);
  EXPECT_EQ(ws_->MeasuredData.YData.EventCount, 12);
  EXPECT_EQ(ws_->Parameters.Count, 4);
  EXPECT_TRUE(ui_.Panels.empty());
}

TEST_F(WorkspaceTest, UpDownClicksStayWithinTheLimits) {
  ws_->Dimensions().Click(Dimension::DifEq, +1);
  EXPECT_EQ(ws_->Model.DifEqCount, 1);
  EXPECT_EQ(ws_->Dimensions().Control(Dimension::DifEq).Text, "1");
  ws_->Dimensions().Click(Dimension::DifEq, -1);
  ws_->Dimensions().Click(Dimension::DifEq, -1);
  EXPECT_EQ(ws_->Model.DifEqCount, 0);
  EXPECT_EQ(ws_->Dimensions().Control(Dimension::DifEq).Text, "0");
  Type(Dimension::Indep, "15000");
  ws_->Dimensions().Click(Dimension::Indep, +1);
  EXPECT_EQ(ws_->MeasuredData.XData.IndepCount, 15000);
  EXPECT_TRUE(ui_.Messages.empty());
}

TEST_F(WorkspaceTest, LoweringAndRaisingACountKeepsTheValues) {
  Type(Dimension::Dep, "3");
  Type(Dimension::Events, "2");
  SetValue(1 + 3, 2, 42.5);  // Y[3] of event 2
  Type(Dimension::Dep, "2");
  EXPECT_EQ(ws_->Grid().Kind(1 + 3, 2), DataGrid::CellKind::Blank);
  Type(Dimension::Dep, "3");
  EXPECT_EQ(ws_->MeasuredData.YData.M[2][3], 42.5);
  EXPECT_TRUE(ws_->MeasuredData.YData.Defined[2][3]);
  EXPECT_EQ(ws_->Grid().Kind(1 + 3, 2), DataGrid::CellKind::Dependent);
}

TEST_F(WorkspaceTest, ValuesKeptBeyondALoweredIndependentCountReappearWithTheirOwnTexts) {
  Type(Dimension::Indep, "2");
  Type(Dimension::Events, "3");
  SetValue(2, 1, 7);    // X[2] of event 1
  SetValue(3, 1, 1.5);  // Y[1] of event 1
  ws_->Grid().RewriteFromData();
  Type(Dimension::Indep, "1");
  EXPECT_EQ(ws_->Grid().ColumnCount(), 52);
  EXPECT_EQ(ws_->Grid().DisplayText(2, 1), "1.50000");  // Y[1] moved left
  Type(Dimension::Indep, "2");
  EXPECT_EQ(ws_->Grid().DisplayText(2, 1), "7.00000");
  EXPECT_EQ(ws_->Grid().DisplayText(3, 1), "1.50000");
}

// A model with text keeps its counts in its .dim file; an untitled one without text has
// nothing to save and so is never asked about.
TEST_F(WorkspaceTest, AnyDimensionChangeMarksTheDataAndAModelWithTextModified) {
  for (const bool text : {true, false})
    for (Dimension d : {Dimension::Indep, Dimension::Dep, Dimension::Events, Dimension::DifEq,
                        Dimension::AlgEq, Dimension::Param}) {
      test::ScriptedUi ui;
      Workspace ws(ui);
      ws.Start();
      if (text) ws.ReplaceModelText("dy^[1] := 0;");
      ws.SetModelSaved(true);
      ws.Dimensions().SetText(d, "2");
      EXPECT_EQ(ui.Panels[0], "UntitledData.zkd [Modified]");
      EXPECT_EQ(ui.Panels[1], text ? "UntitledModel.mod [Modified]" : "UntitledModel.mod [Saved]");
      EXPECT_FALSE(ws.DataSaved);
      EXPECT_EQ(ws.Model.ModelSaved, !text);
      EXPECT_TRUE(ws.ConfirmDiscardModel() || text);  // asks nothing for the empty model
    }
}

TEST_F(WorkspaceTest, IndependentCountSetsTheGridColumnsAndHeadings) {
  Type(Dimension::Indep, "3");
  const DataGrid& grid = ws_->Grid();
  EXPECT_EQ(grid.ColumnCount(), 3 + 51);
  EXPECT_EQ(grid.DisplayText(3, 0), "X[3]");
  EXPECT_EQ(grid.DisplayText(4, 0), "Y[1]");
  EXPECT_EQ(grid.DisplayText(53, 0), "Y[50]");
  EXPECT_EQ(grid.DisplayText(0, 12), "12.");
}

TEST_F(WorkspaceTest, EveryDataUpdateRefreshesRangesAndCounts) {
  Type(Dimension::DifEq, "1");
  Type(Dimension::Events, "4");
  const double times[] = {0, 1, 0, 2};  // time restarts at event 3
  for (int j = 1; j <= 4; ++j) SetValue(1, j, times[j - 1]);
  SetValue(2, 1, 5);
  SetValue(2, 2, -1);
  ws_->SetDataSaved(false);
  EXPECT_EQ(ws_->ExperimentCount, 2);
  EXPECT_EQ(ws_->MissingCount, 2);
  EXPECT_EQ(ws_->MeasuredData.XData.Range, (std::array<double, 2>{2, 0}));
  EXPECT_EQ(ws_->MeasuredData.YData.Range, (std::array<double, 2>{5, -1}));
  Type(Dimension::DifEq, "0");
  EXPECT_EQ(ws_->ExperimentCount, 0);
}

TEST_F(WorkspaceTest, ResetDataSetEmptiesTheDataAndMarksItSaved) {
  Type(Dimension::Indep, "2");
  Type(Dimension::Events, "5");
  SetValue(1, 3, 9);
  ws_->DataFileName = "/tmp/x.zkd";
  ws_->Chart().CurveReady = ws_->Estimation().ObjectiveReady = ws_->Estimation().LimitReady = true;
  ws_->Estimation().FailedSolves = 4;
  ws_->ResetDataSet();
  EXPECT_EQ(ws_->MeasuredData.XData.IndepCount, 1);
  EXPECT_EQ(ws_->MeasuredData.YData.EventCount, 1);
  EXPECT_EQ(ws_->Dimensions().Control(Dimension::Events).Text, "1");
  EXPECT_FALSE(ws_->MeasuredData.XData.Defined[3][1]);
  EXPECT_EQ(ws_->MeasuredData.XData.X[3][1], 0.0);
  EXPECT_TRUE(ws_->DataFileName.empty());
  EXPECT_FALSE(ws_->Chart().CurveReady || ws_->Estimation().ObjectiveReady ||
               ws_->Estimation().LimitReady);
  EXPECT_EQ(ws_->Estimation().FailedSolves, 0);
  // The counts changed through their fields, which marks the data modified again.
  EXPECT_EQ(ui_.Panels[0], "UntitledData.zkd [Modified]");
}

}  // namespace
}  // namespace zelk
