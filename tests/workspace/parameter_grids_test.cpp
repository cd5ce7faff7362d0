#include "workspace/parameter_grids.h"

#include <gtest/gtest.h>

#include <functional>

#include <utility>

#include "base/messages.h"
#include "support/scripted_ui.h"

namespace zelk {
namespace {

class ParameterGridsTest : public ::testing::Test {
 protected:
  ParameterGridsTest()
      : grids_(
            record_, fit_, names_, ui_,
            [this](int i, double v) {
              record_.Value[i] = record_.TrialValue[i] = v;
              valueCalls_.push_back({i, v});
            },
            [this] { ++toggles_; }) {
    record_.Count = 2;
    grids_.RefreshValueColumn(RefreshRows::All);
    grids_.RefreshDetails({1, 2, 3, 4, 5, 6}, RefreshRows::All);
  }
  void TypeInto(ParameterGrid& grid, int col, int row, const std::string& text) {
    ASSERT_TRUE(grid.SelectCell(col, row));
    if (grid.Kind() == ParamGridKind::PDGrid) grid.KeyDown(GridKey::Other, kNoModifiers);
    ASSERT_TRUE(grid.OpenEditor());
    grid.EditorTextChanged(text);
  }

  TParameterRecord record_ = StartParameterRecord();
  FitResult fit_;
  ModelNames names_;
  test::ScriptedUi ui_;
  std::vector<std::pair<int, double>> valueCalls_;
  int toggles_ = 0;
  ParameterGrids grids_;
};

TEST_F(ParameterGridsTest, CellsAreDrawnByBoundsFixedFlagsAndValidFlags) {
  using A = CellAlignment;
  using B = CellBackground;
  using C = CellTextColour;
  using P = TParameterRecord;
  struct Case {
    const char* name;
    void (*setup)(P&);
    int col;
    C details, values;  // Value column: the values grid's colour too
    bool drawn;         // 0: the cell is painted empty
  } cases[] = {
      {"inside the bounds", [](P&) {}, 1, C::Black, C::Black, 1},
      {"within 1e-10 of Min", [](P& p) { p.Value[1] = 0.5e-10; }, 1, C::Blue, C::Black, 1},
      {"2e-10 above Min", [](P& p) { p.Value[1] = 2e-10; }, 1, C::Black, C::Black, 1},
      {"within 1e-10 of Max", [](P& p) { p.Value[1] = 1e4 - 0.5e-10; }, 1, C::Red, C::Black, 1},
      {"on both bounds", [](P& p) { p.MinBound[1] = p.MaxBound[1] = 1; }, 1, C::Blue, C::Black, 1},
      {"fixed on Max", [](P& p) { p.Value[1] = 1e4, p.Fixed[1] = 1; }, 1, C::Grey, C::Grey, 1},
      {"fixed on Min", [](P& p) { p.Value[1] = 0, p.Fixed[1] = 1; }, 1, C::Grey, C::Grey, 1},
      {"Std. Error not computed", [](P&) {}, 4, C::Black, {}, 0},
      {"Std. Error computed", [](P& p) { p.StdErrValid[1] = 1; }, 4, C::Black, {}, 1},
      {"Lo F-Limit not computed", [](P& p) { p.LoFLimit[1] = 0.5; }, 5, C::Black, {}, 0},
      {"Lo above Min", [](P& p) { p.LoFLimit[1] = 0.5, p.LoFValid[1] = 1; }, 5, C::Black, {}, 1},
      {"Lo on Min", [](P& p) { p.LoFLimit[1] = 0, p.LoFValid[1] = 1; }, 5, C::Red, {}, 1},
      {"Hi F-Limit not computed", [](P&) {}, 6, C::Black, {}, 0},
      {"Hi below Max", [](P& p) { p.HiFLimit[1] = 9999, p.HiFValid[1] = 1; }, 6, C::Black, {}, 1},
      {"Hi on Max", [](P& p) { p.HiFLimit[1] = 1e4, p.HiFValid[1] = 1; }, 6, C::Red, {}, 1},
  };
  grids_.PDGrid().SetSelection({1, 1, 6, 1});
  for (const auto& c : cases) {
    record_ = StartParameterRecord();
    c.setup(record_);
    EXPECT_EQ(grids_.PDGrid().Style(c.col, 1),
              (CellStyle{A::Centre, B::Yellow, c.details, c.drawn}))
        << c.name;
    if (c.col == 1) {
      EXPECT_EQ(grids_.ParamGrid().Style(1, 1), (CellStyle{A::Centre, B::White, c.values, true}))
          << c.name;
    }
  }
  EXPECT_EQ(grids_.PDGrid().Style(1, 2), (CellStyle{A::Centre, B::Window, C::Black, true}));
  EXPECT_EQ(grids_.PDGrid().Style(4, 0), (CellStyle{A::Centre, B::ButtonFace, C::Black, true}));
  EXPECT_EQ(grids_.ParamGrid().Style(0, 2), (CellStyle{A::Right, B::ButtonFace, C::Black, true}));
}

TEST_F(ParameterGridsTest, RefreshesWriteTheirDigitsAndEmptyRowsBeyondCount) {
  EXPECT_EQ(grids_.ParamGrid().Text(1, 0), "Value");
  EXPECT_EQ(grids_.PDGrid().Text(6, 0), "Hi F-Limit");
  EXPECT_EQ(grids_.PDGrid().Text(0, 20), "20.");
  EXPECT_EQ(grids_.ParamGrid().Text(1, 2), "1.0000000");
  EXPECT_EQ(grids_.ParamGrid().Text(1, 3), "");
  EXPECT_EQ(grids_.PDGrid().Text(3, 2), "10000.0");
  EXPECT_EQ(grids_.PDGrid().Text(4, 2), "0.00000");
  EXPECT_EQ(grids_.PDGrid().DisplayText(4, 2), "");  // not computed yet

  record_.Value[1] = record_.Value[2] = record_.MinBound[1] = 1.234567891;
  record_.Count = 1;
  grids_.RefreshValueColumn(RefreshRows::UpToCount);
  grids_.RefreshDetails({1}, RefreshRows::UpToCount);
  EXPECT_EQ(grids_.ParamGrid().Text(1, 1), "1.2345679");
  EXPECT_EQ(grids_.ParamGrid().Text(1, 2), "1.0000000");  // beyond Count: left alone
  EXPECT_EQ(grids_.PDGrid().Text(1, 1), "1.23457");
  EXPECT_EQ(grids_.PDGrid().Text(2, 1), "0.00000");  // column not asked for
  grids_.RefreshDetails({1, 2, 3, 4, 5, 6}, RefreshRows::All);
  EXPECT_EQ(grids_.PDGrid().Text(1, 2), "");
  EXPECT_EQ(grids_.PDGrid().Text(2, 1), "1.23457");
}

TEST_F(ParameterGridsTest, ACommaIsRefusedOnEveryOccasionAndNothingIsStored) {
  struct Case {
    const char* occasion;
    std::function<bool(ParameterGrid&)> finish;  // false: the grid refused to let go
    bool refused, editorOpen;
  } cases[] = {
      {"cell change", [](ParameterGrid& g) { return g.SelectCell(1, 2); }, true, true},
      {"Enter", [](ParameterGrid& g) { return g.EnterKey(); }, true, true},
      {"focus loss", [](ParameterGrid& g) { return g.FocusLost(); }, true, false},
  };
  for (ParameterGrid* grid : {&grids_.ParamGrid(), &grids_.PDGrid()})
    for (const auto& c : cases) {
      TypeInto(*grid, 1, 1, "1,5");
      EXPECT_EQ(c.finish(*grid), !c.refused) << c.occasion;
      ASSERT_EQ(ui_.Messages.size(), 1u) << c.occasion;
      EXPECT_EQ(ui_.Messages[0].Text, msg::kInvalidNumber);
      EXPECT_EQ(ui_.Messages[0].Kind, MessageKind::Error);
      EXPECT_EQ(ui_.Messages[0].ButtonSet, Buttons::Ok);
      ui_.Messages.clear();
      EXPECT_EQ(grid->CurrentRow(), 1) << c.occasion;
      EXPECT_EQ(grid->EditorOpen(), c.editorOpen) << c.occasion;
      EXPECT_EQ(record_.Value[1], 1.0) << c.occasion;
      EXPECT_TRUE(valueCalls_.empty()) << c.occasion;
      grid->EscapeKey();
      EXPECT_EQ(grid->Text(1, 1), grid == &grids_.PDGrid() ? "1.00000" : "1.0000000");
      EXPECT_TRUE(grid->FocusLost());
      EXPECT_TRUE(ui_.Messages.empty());
    }
}

TEST_F(ParameterGridsTest, AValueTypedInEitherGridIsSetAndCopiedIntoTheOther) {
  TypeInto(grids_.ParamGrid(), 1, 2, "2.5");
  ASSERT_TRUE(grids_.ParamGrid().SelectCell(1, 1));
  EXPECT_EQ(valueCalls_, (std::vector<std::pair<int, double>>{{2, 2.5}}));
  EXPECT_EQ(grids_.PDGrid().Text(1, 2), "2.5");

  TypeInto(grids_.PDGrid(), 1, 1, " 7e-1");
  grids_.PDGrid().EnterKey();
  EXPECT_EQ(valueCalls_.back(), std::make_pair(1, 0.7));
  EXPECT_EQ(grids_.ParamGrid().Text(1, 1), " 7e-1");

  // Moving through cells without typing stores nothing, so no value is rounded to its text.
  ASSERT_TRUE(grids_.ParamGrid().SelectCell(1, 2));
  EXPECT_TRUE(grids_.ParamGrid().FocusLost());
  EXPECT_EQ(valueCalls_.size(), 2u);
}

TEST_F(ParameterGridsTest, ABoundEditRecomputesTheRegionEvenOnTheWrongSideOfValue) {
  TypeInto(grids_.PDGrid(), 3, 1, "0.5");  // Max below Value 1
  grids_.PDGrid().EnterKey();
  EXPECT_EQ(record_.MaxBound[1], 0.5);
  EXPECT_EQ(record_.Region[1], 1.0);     // max(0.5 - 1, 1 - 0)
  TypeInto(grids_.PDGrid(), 2, 1, "3");  // Min above Value
  grids_.PDGrid().EnterKey();
  EXPECT_EQ(record_.MinBound[1], 3.0);
  EXPECT_EQ(record_.Region[1], -0.5);  // max(0.5 - 1, 1 - 3)
  EXPECT_TRUE(valueCalls_.empty());
  EXPECT_EQ(grids_.ParamGrid().Text(1, 1), "1.0000000");
}

TEST_F(ParameterGridsTest, OnlyRowsUpToCountAndTheFirstThreeDetailColumnsAreEdited) {
  ParameterGrid& details = grids_.PDGrid();
  ASSERT_TRUE(grids_.ParamGrid().SelectCell(1, 3));  // Count + 1
  EXPECT_FALSE(grids_.ParamGrid().OpenEditor());
  grids_.ParamGrid().EditorTextChanged("5");
  grids_.ParamGrid().EnterKey();
  EXPECT_EQ(grids_.ParamGrid().Text(1, 3), "");
  EXPECT_FALSE(details.CanEdit(4, 1));
  // Details open an editor only after a key press; a move or Enter ends that again.
  EXPECT_FALSE(details.CanEdit(2, 1));
  details.KeyDown(GridKey::Other, kNoModifiers);
  EXPECT_TRUE(details.CanEdit(2, 1) && !details.CanEdit(4, 1) && !details.CanEdit(2, 3));
  details.EnterKey();
  EXPECT_FALSE(details.CanEdit(2, 1));
  details.KeyDown(GridKey::Other, kNoModifiers);
  ASSERT_TRUE(details.SelectCell(2, 1));
  EXPECT_FALSE(details.CanEdit(2, 1));
  EXPECT_TRUE(ui_.Messages.empty());
}

TEST_F(ParameterGridsTest, ArrowsMoveTheDetailsEditorOnlyWhenOpenAndUnmodified) {
  ParameterGrid& g = grids_.PDGrid();
  struct Case {
    int fromCol;
    bool open;
    GridKey key;
    unsigned modifiers;
    bool used;
    int toCol;
  } cases[] = {
      {2, true, GridKey::Right, kNoModifiers, true, 3},
      {2, true, GridKey::Left, kNoModifiers, true, 1},
      {1, true, GridKey::Left, kNoModifiers, false, 1},
      {3, true, GridKey::Right, kNoModifiers, true, 4},
      {2, true, GridKey::Right, kShiftKey, false, 2},
      {2, false, GridKey::Right, kNoModifiers, false, 2},
  };
  for (const auto& c : cases) {
    g.EscapeKey();
    ASSERT_TRUE(g.SelectCell(c.fromCol, 2));
    g.KeyDown(GridKey::Other, kNoModifiers);
    if (c.open) g.OpenEditor();
    EXPECT_EQ(g.KeyDown(c.key, c.modifiers), c.used) << c.fromCol;
    EXPECT_EQ(g.CurrentColumn(), c.toCol) << c.fromCol;
  }
  TypeInto(g, 2, 2, "x");
  EXPECT_TRUE(g.KeyDown(GridKey::Right, kNoModifiers));
  EXPECT_EQ(g.CurrentColumn(), 2);
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{msg::kInvalidNumber});
}

TEST_F(ParameterGridsTest, ReleasingOverALabelTogglesFixedForRowsUpToCount) {
  for (ParameterGrid* grid : {&grids_.ParamGrid(), &grids_.PDGrid()}) {
    grid->MouseReleased(0, 3);  // Count + 1
    grid->MouseReleased(0, 0);
    grid->MouseReleased(1, 2);
    EXPECT_FALSE(record_.Fixed[3] || record_.Fixed[2]);
    EXPECT_EQ(toggles_, 0);
    grid->MouseReleased(0, 2);
    EXPECT_TRUE(record_.Fixed[2]);
    grid->MouseReleased(0, 2);
    EXPECT_FALSE(record_.Fixed[2]);
    EXPECT_EQ(toggles_, 2);
    toggles_ = 0;
  }
}

TEST_F(ParameterGridsTest, CtrlCCopiesTheDetailsSelectionAsTabbedLines) {
  record_.StdErrValid[1] = true;
  grids_.PDGrid().SetSelection({4, 2, 2, 1});
  EXPECT_TRUE(grids_.PDGrid().KeyDown(GridKey::C, kCtrlKey));
  EXPECT_EQ(ui_.Clipboard, "0.00000\t10000.0\t0.00000\r\n0.00000\t10000.0\t\r\n");
  ui_.Clipboard.clear();
  EXPECT_FALSE(grids_.ParamGrid().KeyDown(GridKey::C, kCtrlKey));
  EXPECT_EQ(ui_.Clipboard, "");
}

TEST(ParameterGridLayout, ColumnsShareTheWidthAndTheLastTakesTheRest) {
  struct Case {
    int width, columns;
    std::vector<int> widths;
  } cases[] = {
      {230, 2, {30, 200}},
      {630, 7, {30, 100, 100, 100, 100, 100, 100}},
      {635, 7, {30, 100, 100, 100, 100, 100, 105}},
      {100, 7, {30, 11, 11, 11, 11, 11, 15}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ShareColumnWidths(c.width, kParamLabelWidth, c.columns), c.widths) << c.width;
}

TEST_F(ParameterGridsTest, UndoTakesBackValuesBoundsScalesAndFixedFlagsInTurn) {
  TypeInto(grids_.PDGrid(), 1, 1, "2.5");
  ASSERT_TRUE(grids_.PDGrid().EnterKey());
  TypeInto(grids_.PDGrid(), 3, 2, "50");
  ASSERT_TRUE(grids_.PDGrid().EnterKey());
  TypeInto(grids_.PDGrid(), kScaleColumn, 2, "log10");
  ASSERT_TRUE(grids_.PDGrid().EnterKey());
  grids_.ToggleFixed(1);
  ASSERT_TRUE(record_.Fixed[1]);
  struct Step {
    std::function<bool()> undone;
  } steps[] = {{[&] { return !record_.Fixed[1] && toggles_ == 2; }},
               {[&] { return record_.Scale[2] == TScale::Linear; }},
               {[&] { return record_.MaxBound[2] == 10000 && grids_.PDGrid().Text(3, 2) == "10000.0"; }},
               {[&] { return record_.Value[1] == 1 && grids_.ParamGrid().Text(1, 1) == "1.0000000"; }}};
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    ASSERT_TRUE(grids_.Undo()) << i;
    EXPECT_TRUE(steps[i].undone()) << i;
  }
  EXPECT_FALSE(grids_.Undo());
  ASSERT_TRUE(grids_.Redo());
  EXPECT_EQ(record_.Value[1], 2.5);
  EXPECT_EQ(valueCalls_.back(), std::make_pair(1, 2.5));  // through the setter: stale results go
  grids_.SetLocked(true);
  EXPECT_FALSE(grids_.Redo());
}

}  // namespace
}  // namespace zelk
