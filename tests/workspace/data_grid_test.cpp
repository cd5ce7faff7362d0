#include <gtest/gtest.h>

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
  Grid().EnterKey();
  EXPECT_EQ(ws_->MeasuredData.YData.M[1][1], 2.5);
  TypeInto(2, 1, "");
  Grid().EnterKey();
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{msg::kInvalidNumber});
  EXPECT_FALSE(Grid().EditorOpen());
  EXPECT_EQ(ws_->MeasuredData.YData.M[1][1], 2.5);  // the previous value stays
}

TEST_F(DataGridTest, MovingThroughCellsNeverRoundsTheirValues) {
  SetValue(1, 1, 1.23456789);
  Grid().RewriteFromData();
  ASSERT_TRUE(Grid().SelectCell(1, 1));
  ASSERT_TRUE(Grid().SelectCell(2, 1));
  EXPECT_TRUE(Grid().CommitEditedCell());
  EXPECT_EQ(ws_->MeasuredData.XData.X[1][1], 1.23456789);
}

}  // namespace
}  // namespace zelk
