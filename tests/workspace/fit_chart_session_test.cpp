// The fit chart's commands on a real model: the chart's own solution and its cache, the
// limit curve switch, the properties dialog's rules, export and printing.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "base/messages.h"
#include "estimation/operation.h"
#include "support/files.h"
#include "support/model_fixture.h"
#include "support/temp_folder.h"
#include "workspace/fit_properties_model.h"

namespace zelk {
namespace {

using test::Op;
using test::RecordingCanvas;

class ChartCommands : public test::ModelTest {
 protected:
  // Decay measured at 0..6 in one experiment, the model loaded.
  void SetUp() override {
    // The plain look whose positions and counts these tests read.
    ws_->Prefs.ChartLegend = false;
    ws_->Preferences.Descriptions[kXAxisDesc].Active = false;
    ws_->Preferences.Descriptions[kYAxisDesc].Active = false;
    Load("decay");
    Data(1, 1, {0, 1, 2, 3, 4, 5, 6});
    for (int j = 2; j <= 7; ++j)
      ws_->MeasuredData.YData.M[j][1] = std::exp(-0.5 * ws_->MeasuredData.XData.X[j][1]);
    ws_->SetDataSaved(true);
    ws_->SetParameterValue(1, 0.5);
  }
  RecordingCanvas Paint(bool overlays = true) {
    RecordingCanvas c;
    ws_->Chart().PaintFitChart(c, 543, 426, overlays);
    return c;
  }
  std::int64_t Solutions() const { return ws_->Problem().Stats.InitialCalls; }
};

TEST_F(ChartCommands, TheCurveIsSolvedOnceAndReusedUntilAParameterChanges) {
  EXPECT_EQ(Paint().Of(Op::Polyline).size(), 1u);
  EXPECT_TRUE(ws_->Chart().CurveReady);
  const auto solved = Solutions();
  EXPECT_GT(solved, 0);
  // A resize or a hidden branch repaints from the computed values.
  RecordingCanvas wide;
  ws_->Chart().PaintFitChart(wide, 900, 300, true);
  EXPECT_EQ(wide.Of(Op::Polyline).size(), 1u);
  EXPECT_EQ(Solutions(), solved);
  ws_->SetParameterValue(1, 0.6);
  EXPECT_FALSE(ws_->Chart().CurveReady);
  Paint();
  EXPECT_GT(Solutions(), solved);
  // The curve is the model's: at t = 6 the chart data holds exp(-0.6 * 6).
  const TYData& c = ws_->ChartData.YData;
  EXPECT_NEAR(c.C[c.EventCount][1], std::exp(-3.6), 1e-4);
}

TEST_F(ChartCommands, TheChartSolutionIsNeverCutShortAndTheRunningModeIsRestored) {
  // A running search with a best objective no trial can beat: its trials stop early, the
  // chart's solution must not.
  ws_->Estimation().ObjectiveReady = true;
  ws_->Estimation().BestObjective = 0;
  ws_->Estimation().OperationMode = kLJSearch;
  EXPECT_EQ(Paint().Of(Op::Polyline).size(), 1u);
  EXPECT_EQ(ws_->Estimation().OperationMode, kLJSearch);
}

TEST_F(ChartCommands, AModelThatCannotBeSolvedLeavesTheMarkersWithoutCurveOrMessage) {
  ws_->Model.UnloadModelLibrary(BoxesOf(ui_));
  Load("fault_fdiv");
  ws_->Chart().CurveReady = false;
  const RecordingCanvas c = Paint();
  EXPECT_TRUE(c.Of(Op::Polyline).empty());
  EXPECT_EQ(c.Of(Op::Ellipse).size(), 7u);
  EXPECT_FALSE(ws_->Chart().CurveReady);
  EXPECT_TRUE(ui_.Messages.empty());
  ws_->Model.UnloadModelLibrary(BoxesOf(ui_));
  EXPECT_TRUE(Paint().Of(Op::Polyline).empty());
  EXPECT_TRUE(ui_.Messages.empty());
}

TEST_F(ChartCommands, TheLimitCurveNeedsAnFLimitCellOfAnExistingParameter) {
  ParameterGrid& details = ws_->ParamGrids().PDGrid();
  ws_->Parameters.LoLimitPoints[1][1] = 0.3;
  ws_->Parameters.HiLimitPoints[1][1] = 0.8;
  struct Case {
    int column, row;
    bool accepted;
    double limit;
  };
  const Case cases[] = {{4, 1, false, 0}, {5, 2, false, 0}, {5, 1, true, 0.3}, {6, 1, true, 0.8}};
  for (const Case& c : cases) {
    details.SelectCell(c.column, c.row);
    ui_.PagesShown.clear();
    ui_.Repaints.clear();
    ws_->Chart().PaintBoundaryChecked = false;
    ws_->PaintBoundary();
    EXPECT_EQ(ws_->Chart().PaintBoundaryChecked, c.accepted) << c.column << "," << c.row;
    EXPECT_EQ(ui_.Repaints[View::FitChart], 1);
    if (!c.accepted) {
      EXPECT_TRUE(ui_.PagesShown.empty());
      continue;
    }
    EXPECT_EQ(ws_->Chart().LimitCurveParams[1], c.limit);
    EXPECT_EQ(ui_.PagesShown, std::vector<Page>{Page::FitChart});
  }
  // Checked, every screen paint draws both curves and leaves the cache empty.
  EXPECT_EQ(Paint().Of(Op::Polyline).size(), 2u);
  EXPECT_FALSE(ws_->Chart().CurveReady);
  ws_->PaintBoundary();
  EXPECT_FALSE(ws_->Chart().PaintBoundaryChecked);
}

TEST_F(ChartCommands, ExportProposesTheModelsNameAndKeepsToTheFittedCurve) {
  ws_->ModelFileName = "/somewhere/abc.mod";
  ui_.DialogAnswers.push_back(std::nullopt);
  ws_->ExportFitchart();
  ASSERT_EQ(ui_.SaveRequests.size(), 1u);
  const FileDialogRequest& r = ui_.SaveRequests[0];
  EXPECT_EQ(r.Title, "Export Fitchart To Metafile ...");
  EXPECT_EQ(r.Filter.substr(0, 37), "Enhanced Metafile (*.emf)|*.emf|PNG I");
  EXPECT_EQ(r.FilterIndex, 1);
  EXPECT_EQ(r.DefaultExtension, "emf");
  EXPECT_EQ(r.ProposedName, "abc.emf");
  EXPECT_TRUE(r.ConfirmOverwrite);
  EXPECT_TRUE(ui_.Pictures.empty());

  // With the limit curve shown the picture still holds the fitted curve alone.
  ws_->Chart().PaintBoundaryChecked = true;
  ws_->Chart().LimitCurveParams[1] = 0.2;
  ui_.ChartSize = {600, 400};
  ui_.DialogAnswers.push_back("/somewhere/abc.png");
  ws_->ExportFitchart();
  ASSERT_EQ(ui_.Pictures.size(), 1u);
  EXPECT_EQ(ui_.Pictures[0].Width, 600);
  EXPECT_EQ(ui_.Pictures[0].Height, 400);
  EXPECT_EQ(ui_.Pictures[0].Canvas.Of(Op::Polyline).size(), 1u);
  EXPECT_EQ(ui_.Pictures[0].Canvas.Of(Op::Rectangle)[0].Points[1],
            (CanvasPoint{600 - 60, 400 - 60}));
}

TEST_F(ChartCommands, AnUntitledModelProposesAVisibleName) {
  ui_.DialogAnswers.push_back(std::nullopt);
  ws_->ExportFitchart();
  EXPECT_EQ(ui_.SaveRequests.at(0).ProposedName, "fitchart.emf");
}

TEST_F(ChartCommands, TheMetafileIsWrittenWholeOrNotAtAll) {
  test::TempFolder folder;
  const std::string path = folder.File("chart.emf");
  ASSERT_TRUE(ws_->Chart().ExportChartMetafile(path));
  const std::string bytes = test::ReadText(path);
  ASSERT_GE(bytes.size(), 108u);
  std::uint32_t declared;
  std::memcpy(&declared, bytes.data() + 48, 4);
  EXPECT_EQ(declared, bytes.size());
  EXPECT_NE(bytes.find(std::string("\x04\x00\x00\x00", 4)), std::string::npos);  // a polyline

  EXPECT_FALSE(ws_->Chart().ExportChartMetafile(folder.File("missing/chart.emf")));
  ASSERT_EQ(ui_.Messages.size(), 1u);
  EXPECT_EQ(ui_.Messages[0].Text.rfind(
                "Cannot write the fit chart to \"" + folder.File("missing/chart.emf") + "\": ", 0),
            0u);
  EXPECT_FALSE(std::filesystem::exists(folder.File("missing")));

  ui_.PictureError = "disk full";
  EXPECT_FALSE(ws_->Chart().ExportChartMetafile(folder.File("chart.svg")));
  EXPECT_EQ(ui_.Messages.back().Text,
            "Cannot write the fit chart to \"" + folder.File("chart.svg") + "\": disk full");
}

TEST_F(ChartCommands, WithoutALibraryTheExportHoldsFrameLabelsAndMarkersOnly) {
  ws_->Model.UnloadModelLibrary(BoxesOf(ui_));
  ws_->Chart().ExportChartMetafile("/tmp/unused.png");
  const RecordingCanvas& c = ui_.Pictures.at(0).Canvas;
  EXPECT_TRUE(c.Of(Op::Polyline).empty());
  EXPECT_EQ(c.Of(Op::Ellipse).size(), 7u);
  EXPECT_EQ(c.Texts().size(), 6u);
  EXPECT_TRUE(ui_.Messages.empty());
}

TEST_F(ChartCommands, APrintedChartTakesThePrintExtentsOfThePage) {
  ws_->PrintFitChartAction();  // the print dialog cancelled
  EXPECT_TRUE(ui_.Printed.empty());
  ui_.PrinterPage = {{4800, 6600}};
  ws_->PrintFitChartAction();
  ASSERT_EQ(ui_.Printed.size(), 1u);
  const RecordingCanvas& page = ui_.Printed[0];
  // 4800 x 3300 dots: dx = 240, dy = 165.
  EXPECT_EQ(page.Of(Op::Rectangle)[0].Points, (std::vector<CanvasPoint>{{720, 330}, {4320, 2805}}));
  EXPECT_EQ(page.Of(Op::Polyline).size(), 1u);
  ws_->Prefs.HorizPercentage = 50;
  ws_->Prefs.VertPercentage = 20;
  ws_->PrintFitChartAction();
  EXPECT_EQ(ui_.Printed[1].Of(Op::Rectangle)[0].Points[1], (CanvasPoint{2400 - 240, 1320 - 198}));
}

TEST_F(ChartCommands, DesignModeDrawsTheProposedPointsOnTheScreenOnly) {
  ws_->Chart().DesignPoints[1] = 2;
  ws_->Chart().DesignPoints[2] = 4;
  ws_->Chart().DesignPointCount = 2;
  ws_->DesignModeAction();
  EXPECT_TRUE(ws_->Chart().DesignModeChecked);
  EXPECT_EQ(Paint().Texts().size(), 6u + 2u);
  EXPECT_EQ(Paint(false).Texts().size(), 6u);
  ws_->DesignModeAction();
  EXPECT_EQ(Paint().Texts().size(), 6u);
}

class FitProperties : public ChartCommands {
 protected:
  FitPropertiesModel model_{*ws_};
  std::vector<std::string> XLabels() {
    const auto texts = Paint().Texts();
    return {texts.begin() + 3, texts.begin() + 6};
  }
};

TEST_F(FitProperties, AManualXRangeDrawsBeyondTheFrameWithoutClipping) {
  for (int j = 1; j <= 7; ++j) ws_->MeasuredData.XData.X[j][1] = j * 100.0 / 7;
  ws_->MeasuredData.XData.X[1][1] = 0;
  ws_->SetDataSaved(true);
  model_.LoadFitProps();
  model_.XScale = {true, "0", "50"};
  model_.StoreFitProps();
  EXPECT_EQ(XLabels(), (std::vector<std::string>{"0.00", "50.0", "25.0"}));
  const auto markers = Paint().Of(Op::Ellipse);
  ASSERT_EQ(markers.size(), 7u);
  EXPECT_GT(markers.back().Points[0].X, 489);  // t = 100 lies right of the frame
  // The manual range holds through changes of the data and the dimensions ...
  ws_->SetDataSaved(false);
  Type(Dimension::Param, "2");
  EXPECT_EQ(XLabels()[1], "50.0");
  // ... until the user sets the axis back to automatic, which takes the data's range at once.
  model_.XScale.Manual = false;
  model_.StoreFitProps();
  EXPECT_EQ(XLabels()[1], "100");
}

TEST_F(FitProperties, EqualLimitsLeaveFrameAndLabelsAndABadNumberIsSkippedAlone) {
  model_.YScale = {true, "0.5", "0.5"};
  model_.StoreFitProps();
  const RecordingCanvas c = Paint();
  EXPECT_TRUE(c.Of(Op::Ellipse).empty());
  EXPECT_TRUE(c.Of(Op::Polyline).empty());
  EXPECT_EQ(c.Texts().size(), 6u);

  model_.YScale = {true, "low", "2"};
  model_.StoreFitProps();
  EXPECT_EQ(ws_->MeasuredData.YData.Range, (std::array<double, 2>{2, 0.5}));
  EXPECT_EQ(ws_->ChartData.YData.Range, (std::array<double, 2>{2, 0.5}));
}

TEST_F(FitProperties, DescriptionsAreLoadedAndStoredWhole) {
  ws_->Preferences.Descriptions[kXAxisDesc].Caption = "Time [h]";
  model_.LoadFitProps();
  EXPECT_EQ(model_.Texts[kXAxisDesc].Caption, "Time [h]");
  EXPECT_EQ(model_.XScale.Max, "100");  // the scale fields are not loaded
  model_.Texts[kTitleDesc] = {true, "Decay", "DejaVu Serif", 14, true, true, false, 0x0000FF};
  ui_.Repaints.clear();
  model_.StoreFitProps();
  EXPECT_EQ(ws_->Preferences.Descriptions[kTitleDesc], model_.Texts[kTitleDesc]);
  EXPECT_EQ(ui_.Repaints[View::FitChart], 1);
  const auto title = Paint().Of(Op::TextOut).back();
  EXPECT_EQ(title.Text, "Decay");
  EXPECT_EQ(title.Font, (CanvasFont{"DejaVu Serif", 14, 0x0000FF, true, true, false}));
}

}  // namespace
}  // namespace zelk
