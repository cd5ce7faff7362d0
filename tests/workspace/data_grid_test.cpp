#include <gtest/gtest.h>

#include <functional>

#include "base/format.h"
#include "base/messages.h"
#include "support/workspace_fixture.h"

namespace zelk {
namespace {

class DataGridTest : public test::WorkspaceTest {
 protected:
  DataGrid& Grid() { return ws_->Grid(); }
  void TypeInto(int col, int row, const std::string& text) {
    ASSERT_TRUE(Grid().SelectCell(col, row));
    Grid().OpenEditor();
    Grid().EditorTextChanged(text);
  }
};

TEST_F(DataGridTest, DrawsEachKindOfCell) {
  Type(Dimension::Indep, "2");
  Type(Dimension::Dep, "2");
  Type(Dimension::Events, "3");
  SetValue(1, 1, 1);
  SetValue(3, 1, 2);
  Grid().RewriteFromData();
  using K = DataGrid::CellKind;
  struct Case {
    int col, row;
    K kind;
    const char* text;
  } cases[] = {
      {1, 0, K::Heading, "X[1]"},
      {3, 0, K::Heading, "Y[1]"},
      {0, 3, K::Label, "3."},
      {1, 1, K::Independent, "1.00000"},
      {3, 1, K::Dependent, "2.00000"},
      {2, 1, K::Missing, "#"},
      {4, 2, K::Missing, "#"},
      {1, 4, K::Blank, ""},
      {5, 1, K::Blank, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Grid().Kind(c.col, c.row), c.kind) << c.col << "," << c.row;
    EXPECT_EQ(Grid().DisplayText(c.col, c.row), c.text) << c.col << "," << c.row;
  }
}

TEST_F(DataGridTest, LeavingACellStoresWhatWasTyped) {
  Type(Dimension::Events, "3");
  TypeInto(1, 2, "1e3");
  ASSERT_TRUE(Grid().SelectCell(2, 2));
  EXPECT_EQ(ws_->MeasuredData.XData.X[2][1], 1000.0);
  EXPECT_TRUE(ws_->MeasuredData.XData.Defined[2][1]);
  EXPECT_EQ(Grid().DisplayText(1, 2), "1e3");
  EXPECT_EQ(ui_.Panels[0], "UntitledData.zkd [Modified]");

  TypeInto(1, 2, "");
  ASSERT_TRUE(Grid().SelectCell(1, 3));
  EXPECT_FALSE(ws_->MeasuredData.XData.Defined[2][1]);
  EXPECT_EQ(Grid().DisplayText(1, 2), "#");
}

TEST_F(DataGridTest, LettersRefuseTheMoveAndKeepTheEditorOpen) {
  Type(Dimension::Events, "3");
  TypeInto(1, 1, "abc");
  EXPECT_FALSE(Grid().SelectCell(1, 2));
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{msg::kInvalidNumber});
  EXPECT_EQ(Grid().CurrentRow(), 1);
  EXPECT_TRUE(Grid().EditorOpen());
}

TEST_F(DataGridTest, EnterStoresANumberAndRefusesAnythingElse) {
  Type(Dimension::Events, "2");
  TypeInto(2, 1, "2.5");
  EXPECT_TRUE(Grid().EnterKey());
  EXPECT_EQ(ws_->MeasuredData.YData.M[1][1], 2.5);
  TypeInto(2, 1, "");
  EXPECT_FALSE(Grid().EnterKey());
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{msg::kInvalidNumber});
  EXPECT_TRUE(Grid().EditorOpen());  // the user corrects the refused text in place
  EXPECT_EQ(ws_->MeasuredData.YData.M[1][1], 2.5);  // the previous value stays
}

TEST_F(DataGridTest, ASelectionFromAnyCornerIsKeptWithinTheColumnsThereAre) {
  Type(Dimension::Indep, "3");
  Grid().SetSelection({53, 9, 2, 4});  // dragged up and to the left
  EXPECT_EQ(Grid().Selection().Left, 2);
  EXPECT_EQ(Grid().Selection().Top, 4);
  EXPECT_EQ(Grid().Selection().Right, 53);
  EXPECT_EQ(Grid().Selection().Bottom, 9);
  ASSERT_TRUE(Grid().SelectCell(53, 2));
  Type(Dimension::Indep, "1");  // two columns fewer
  EXPECT_EQ(Grid().CurrentColumn(), 51);
  EXPECT_EQ(Grid().Selection().Right, 51);
}

TEST_F(DataGridTest, MovingThroughCellsNeverRoundsTheirValues) {
  SetValue(1, 1, 1.23456789);
  Grid().RewriteFromData();
  ASSERT_TRUE(Grid().SelectCell(1, 1));
  ASSERT_TRUE(Grid().SelectCell(2, 1));
  EXPECT_TRUE(Grid().CommitEditedCell());
  EXPECT_EQ(ws_->MeasuredData.XData.X[1][1], 1.23456789);
}

// ---------------------------------------------------------------- keys and clipboard

class GridClipboard : public DataGridTest {
 protected:
  // Two independent and two dependent variables, four events; X[1] = 1/3 in event 1, the
  // others j + i / 10 except Y[2] of event 2, which is missing.
  void SetUp() override {
    DataGridTest::SetUp();
    Type(Dimension::Indep, "2");
    Type(Dimension::Dep, "2");
    Type(Dimension::Events, "4");
    for (int j = 1; j <= 4; ++j)
      for (int c = 1; c <= 4; ++c) SetValue(c, j, j + c / 10.0);
    SetValue(1, 1, 1.0 / 3);
    ws_->MeasuredData.YData.Defined[2][2] = false;
    Grid().RewriteFromData();
    ws_->SetDataSaved(true);
  }
  void Select(int left, int top, int right, int bottom) {
    ASSERT_TRUE(Grid().SelectCell(left, top));
    Grid().SetSelection({left, top, right, bottom});
  }
};

TEST_F(GridClipboard, CopyWritesTheDataValuesRowByRowWithCrLfAfterEach) {
  Select(3, 1, 4, 2);
  Grid().Copy();
  EXPECT_EQ(ui_.Clipboard, "1.3000000\t1.4000000\r\n2.3000000\t\r\n");
  // From the data set, not from the six-digit cell text.
  Select(1, 1, 1, 1);
  Grid().Copy();
  EXPECT_EQ(ui_.Clipboard, "0.3333333\r\n");
  EXPECT_TRUE(ws_->DataSaved);
}

TEST_F(GridClipboard, PastingCopiedTextReproducesTheValuesElsewhere) {
  Select(1, 1, 2, 2);
  Grid().Copy();
  ASSERT_TRUE(Grid().SelectCell(3, 3));
  EXPECT_EQ(Grid().Paste(ui_.Clipboard), 0);
  EXPECT_EQ(ws_->MeasuredData.YData.M[3][1], 0.3333333);
  EXPECT_EQ(ws_->MeasuredData.YData.M[4][2], 2.2);
  EXPECT_EQ(Grid().DisplayText(3, 3), "0.3333333");
  EXPECT_EQ(Grid().CurrentColumn(), 3);  // the current cell does not move
  EXPECT_FALSE(ws_->DataSaved);
  EXPECT_TRUE(ui_.Messages.empty());
}

TEST_F(GridClipboard, PasteTokensFollowTabsAndLineBreaks) {
  struct Case {
    const char* name;
    const char* text;
    bool firstDefined;
    double first;
    bool secondDefined;  // the cell right of the first
    double second;
  } cases[] = {
      {"a lone CR ends a row too", "5\t6\r", true, 5, true, 6},
      {"text that is no number becomes missing", "x\t7\r\n", false, 0, true, 7},
      {"an empty token becomes missing", "\t8\r\n", false, 0, true, 8},
  };
  for (const auto& c : cases) {
    SetUp();
    ASSERT_TRUE(Grid().SelectCell(1, 1));
    Grid().Paste(c.text);
    EXPECT_EQ(ws_->MeasuredData.XData.Defined[1][1], c.firstDefined) << c.name;
    EXPECT_EQ(ws_->MeasuredData.XData.X[1][1], c.first) << c.name;
    EXPECT_EQ(ws_->MeasuredData.XData.Defined[1][2], c.secondDefined) << c.name;
    EXPECT_EQ(ws_->MeasuredData.XData.X[1][2], c.second) << c.name;
  }
}

TEST_F(GridClipboard, PasteTakesRowsEndedByLfCrLfOrCrAndALastValueWithoutABreak) {
  struct Case {
    const char* name;
    const char* text;
    std::vector<std::string> rows;  // X[1] and X[2] of events 1..3 after the paste
  } cases[] = {
      {"LF", "5\t6\n7\t8\n", {"5", "6", "7", "8", "3.10000", "3.20000"}},
      {"CR LF", "5\t6\r\n7\t8\r\n", {"5", "6", "7", "8", "3.10000", "3.20000"}},
      {"CR", "5\t6\r7\t8\r", {"5", "6", "7", "8", "3.10000", "3.20000"}},
      {"mixed", "5\t6\n7\t\r\n\t9\r", {"5", "6", "7", "#", "#", "9"}},
      {"last value without a break", "5\t6\n7\t8", {"5", "6", "7", "8", "3.10000", "3.20000"}},
  };
  for (const auto& c : cases) {
    SetUp();
    ASSERT_TRUE(Grid().SelectCell(1, 1));
    EXPECT_EQ(Grid().Paste(c.text), 0) << c.name;
    std::vector<std::string> rows;
    for (int r = 1; r <= 3; ++r)
      for (int col = 1; col <= 2; ++col) rows.push_back(Grid().DisplayText(col, r));
    EXPECT_EQ(rows, c.rows) << c.name;
  }
}

TEST_F(GridClipboard, ValuesEndingPastTheCharacterLimitAreLeftOutAndCounted) {
  ASSERT_TRUE(Grid().SelectCell(1, 1));
  // Row 1 ends just inside the limit; the two values after it cannot be read.
  const std::string text = std::string(kMaxPasteCharacters - 4, '0') + "5\t6\n7\t8";
  EXPECT_EQ(Grid().Paste(text), 2);
  EXPECT_EQ(ws_->MeasuredData.XData.X[1][2], 6);
  EXPECT_EQ(ws_->MeasuredData.XData.X[2][1], 2.1);
  EXPECT_EQ(ui_.TakeMessages(),
            std::vector<std::string>{FillPlaceholders(msg::kPasteTooLong, {"65534", "2"})});
}

// Cells beyond the data set's counts are not shown: what would land there is left out, cell by
// cell, and counted; the values inside are placed.
TEST_F(GridClipboard, APasteBeyondTheDataSetIsClippedToItAndSaysHowManyWereLeftOut) {
  const int rows = ws_->MeasuredData.YData.EventCount;
  const int columns = ws_->MeasuredData.XData.IndepCount + ws_->MeasuredData.YData.DepCount;
  ASSERT_TRUE(Grid().SelectCell(columns - 1, rows - 1));
  EXPECT_EQ(Grid().Paste("1\t2\t3\r\n4\t5\t6\r\n7\t8\t9\r\n"), 5);
  EXPECT_EQ(Grid().Text(columns - 1, rows - 1), "1");
  EXPECT_EQ(Grid().Text(columns, rows - 1), "2");
  EXPECT_EQ(Grid().Text(columns - 1, rows), "4");  // the row after a left-out value
  EXPECT_EQ(Grid().Text(columns, rows), "5");
  EXPECT_EQ(Grid().Text(columns + 1, rows), "");
  EXPECT_EQ(Grid().Text(columns - 1, rows + 1), "");
  EXPECT_EQ(ui_.TakeMessages(),
            std::vector<std::string>{FillPlaceholders(
                msg::kPasteLeftOut, {std::to_string(rows), std::to_string(columns), "5"})});
}

TEST_F(GridClipboard, DeleteAsksOnlyForMoreThanOneCell) {
  Select(1, 2, 1, 2);
  ws_->DeleteAction();
  EXPECT_TRUE(ui_.Messages.empty());
  EXPECT_FALSE(ws_->MeasuredData.XData.Defined[2][1]);
  EXPECT_EQ(Grid().DisplayText(1, 2), "#");

  Select(1, 3, 2, 3);
  ui_.Answers = {Answer::No};
  ws_->DeleteAction();
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{msg::kClearCells});
  EXPECT_TRUE(ws_->MeasuredData.XData.Defined[3][2]);
  ui_.Answers = {Answer::Yes};
  ws_->DeleteAction();
  EXPECT_FALSE(ws_->MeasuredData.XData.Defined[3][1]);
  EXPECT_FALSE(ws_->MeasuredData.XData.Defined[3][2]);
  EXPECT_EQ(Grid().Text(1, 3), "");
}

TEST_F(GridClipboard, CutCopiesThenClearsWithoutAsking) {
  Select(3, 3, 4, 3);
  Grid().Cut();
  EXPECT_EQ(ui_.Clipboard, "3.3000000\t3.4000000\r\n");
  EXPECT_TRUE(ui_.Messages.empty());
  EXPECT_FALSE(ws_->MeasuredData.YData.Defined[3][1]);
  EXPECT_FALSE(ws_->MeasuredData.YData.Defined[3][2]);
  EXPECT_FALSE(ws_->DataSaved);
}

TEST_F(GridClipboard, KeysMoveWithTheEditorOpenAndAlwaysMarkTheDataModified) {
  ASSERT_TRUE(Grid().SelectCell(2, 2));
  Grid().KeyReleased(DataGrid::Key::Left, false, false);  // no editor: no move
  EXPECT_EQ(Grid().CurrentColumn(), 2);
  EXPECT_FALSE(ws_->DataSaved);
  EXPECT_EQ(ui_.Panels[0], "UntitledData.zkd [Modified]");

  TypeInto(2, 2, "7");
  Grid().KeyReleased(DataGrid::Key::Right, false, false);
  EXPECT_EQ(Grid().CurrentColumn(), 3);
  EXPECT_EQ(ws_->MeasuredData.XData.X[2][2], 7);
  TypeInto(1, 2, "seven");
  Grid().KeyReleased(DataGrid::Key::Right, false, false);
  EXPECT_EQ(Grid().CurrentColumn(), 1);
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{msg::kInvalidNumber});
  Grid().EditorTextChanged("1");  // corrected in the editor that stayed open
  Grid().KeyReleased(DataGrid::Key::Left, false, false);  // column 1 is the first
  EXPECT_EQ(Grid().CurrentColumn(), 1);
  EXPECT_TRUE(ui_.Messages.empty());
}

TEST_F(GridClipboard, EditCommandsActOnTheFocusedControl) {
  Select(1, 1, 2, 1);
  ui_.Focus = EditTarget::TextEditor;
  ws_->CopyAction();
  ws_->DeleteAction();
  EXPECT_EQ(ui_.TextEdits, (std::vector<EditOp>{EditOp::Copy, EditOp::Delete}));
  EXPECT_EQ(ui_.Clipboard, "");
  EXPECT_TRUE(ws_->DataSaved);

  ui_.Focus = EditTarget::DataGrid;
  ws_->CopyAction();
  EXPECT_EQ(ui_.Clipboard, "0.3333333\t1.2000000\r\n");
  ui_.Answers = {Answer::No};
  ws_->DeleteAction();  // refused, yet the data set counts as changed
  EXPECT_TRUE(ws_->MeasuredData.XData.Defined[1][1]);
  EXPECT_FALSE(ws_->DataSaved);
  ASSERT_TRUE(Grid().SelectCell(3, 4));
  ws_->PasteAction();
  EXPECT_EQ(ws_->MeasuredData.YData.M[4][1], 0.3333333);
  ws_->CutAction();
  EXPECT_FALSE(ws_->MeasuredData.YData.Defined[4][1]);
}

// Every kind of change is one step: Undo brings back the cells' texts and values as they were
// (typed texts included), Redo the ones after, and a new change drops what could be redone.
TEST_F(GridClipboard, UndoTakesBackEachChangeWholeAndRedoDoesItAgain) {
  const auto texts = [&] {
    std::string all;
    for (int r = 1; r <= 4; ++r)
      for (int c = 1; c <= 4; ++c) all += Grid().DisplayText(c, r) + "|";
    return all;
  };
  struct Case {
    const char* name;
    std::function<void()> change;
  } cases[] = {
      {"typed", [&] { TypeInto(3, 2, "1e3"); ASSERT_TRUE(Grid().EnterKey()); }},
      {"emptied", [&] { TypeInto(1, 1, ""); ASSERT_TRUE(Grid().SelectCell(2, 1)); }},
      {"pasted", [&] { ASSERT_TRUE(Grid().SelectCell(2, 2)); Grid().Paste("5\tx\r\n6\t7"); }},
      {"cut", [&] { Select(1, 3, 2, 4); Grid().Cut(); }},
  };
  for (const Case& c : cases) {
    const std::string before = texts();
    c.change();
    const std::string after = texts();
    ASSERT_NE(after, before) << c.name;
    ASSERT_TRUE(Grid().Undo()) << c.name;
    EXPECT_EQ(texts(), before) << c.name;
    EXPECT_FALSE(ws_->DataSaved) << c.name;
    ASSERT_TRUE(Grid().Redo()) << c.name;
    EXPECT_EQ(texts(), after) << c.name;
    ASSERT_TRUE(Grid().Undo()) << c.name;
  }
  EXPECT_EQ(ws_->MeasuredData.XData.X[1][1], 1.0 / 3);  // exactly, not its 6 shown digits
  EXPECT_TRUE(Grid().Redo());
  TypeInto(4, 4, "9");
  ASSERT_TRUE(Grid().EnterKey());
  EXPECT_FALSE(Grid().CanRedo());
  // A locked grid changes nothing; another data set forgets the steps.
  Grid().SetLocked(true);
  EXPECT_FALSE(Grid().Undo());
  Grid().SetLocked(false);
  ui_.Answers = {Answer::No};  // discard the changes
  ws_->NewDataFile();
  EXPECT_FALSE(Grid().CanUndo());
}

}  // namespace
}  // namespace zelk
