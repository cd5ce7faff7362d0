#include "presentation/visibility_tree.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "presentation/debug_grid.h"
#include "support/scripted_ui.h"

namespace zelk {
namespace {

class VisibilityTreeTest : public ::testing::Test {
 protected:
  VisibilityTreeTest() {
    tree_.SetRepaintTree([this] { ++treeRepaints_; });
  }
  // States of all nodes in flat order, '+' shown, '-' hidden; checks image == selected image.
  std::string States() const {
    std::string states;
    for (int i = 0; i < tree_.Count(); ++i) {
      const VisibilityNode& n = tree_.Node(i);
      EXPECT_EQ(n.ImageIndex, n.SelectedIndex) << "node " << i;
      states += n.ImageIndex == kShownImage ? '+' : n.ImageIndex == kHiddenImage ? '-' : '?';
    }
    return states;
  }

  test::ScriptedUi ui_;
  VisibilityTree tree_{[this] { ui_.Repaint(View::FitChart); }};
  int treeRepaints_ = 0;
};

TEST_F(VisibilityTreeTest, BuildsResponsesWithTheirBranchesInFlatOrder) {
  struct Case {
    int dep, events, experiments, nodes;
  };
  for (const Case& c : {Case{2, 10, 3, 9}, Case{3, 2, 1, 7}, Case{1, 1000, 1000, 1002},
                        Case{2, 1, 1, 1}, Case{2, 5, 0, 1}, Case{0, 5, 2, 1}}) {
    SCOPED_TRACE(testing::Message() << c.dep << " responses, " << c.events << " events, "
                                    << c.experiments << " experiments");
    tree_.Rebuild(c.dep, c.events, c.experiments);
    ASSERT_EQ(tree_.Count(), c.nodes);
    EXPECT_EQ(tree_.Node(0).Text, "Data Structure");
    EXPECT_EQ(tree_.Node(0).Parent, -1);
    if (c.nodes == 1) continue;
    EXPECT_EQ(tree_.Children(0).size(), static_cast<std::size_t>(c.dep));
    for (int r = 1; r <= c.dep; ++r) {
      const int response = VisibilityTree::ResponseIndex(r, c.experiments);
      EXPECT_EQ(tree_.Node(response).Text, "Response " + std::to_string(r));
      EXPECT_EQ(tree_.Node(response).Parent, 0);
      EXPECT_EQ(tree_.Children(response).size(), static_cast<std::size_t>(c.experiments));
      for (int b = 1; b <= c.experiments; ++b) {
        const VisibilityNode& branch = tree_.Node(VisibilityTree::BranchIndex(r, b, c.experiments));
        EXPECT_EQ(branch.Text, "Branch " + std::to_string(b));
        EXPECT_EQ(branch.Parent, response);
      }
    }
  }
  tree_.Rebuild(2, 10, 3);
  EXPECT_EQ(VisibilityTree::BranchIndex(2, 2, 3), 7);
  EXPECT_EQ(tree_.Node(7).Text, "Branch 2");
  EXPECT_EQ(tree_.Node(tree_.Node(7).Parent).Text, "Response 2");
  EXPECT_EQ(States(), "+++++++++");
}

TEST_F(VisibilityTreeTest, CountsTheExperimentsOfADataSet) {
  auto data = std::make_unique<TDataSet>();
  data->YData.DepCount = 2;
  data->YData.EventCount = 5;
  const double times[] = {0, 1, 2, 0, 1};  // time restarts: two experiments
  for (int j = 1; j <= 5; ++j) data->XData.X[j][1] = times[j - 1];
  tree_.Rebuild(*data);
  EXPECT_EQ(tree_.Count(), 1 + 2 * (1 + 2));
  data->YData.EventCount = 1;
  tree_.Rebuild(*data);
  EXPECT_EQ(tree_.Count(), 1);
}

TEST_F(VisibilityTreeTest, HidingAResponseHidesItsBranchesAndABranchCanBeShownAlone) {
  tree_.Rebuild(2, 10, 3);
  tree_.Select(VisibilityTree::ResponseIndex(1, 3));
  tree_.HideObjectBtnClick();
  EXPECT_EQ(States(), "+----++++");
  for (int b = 1; b <= 3; ++b) {
    EXPECT_FALSE(tree_.IsBranchVisible(1, b, 3)) << b;
    EXPECT_TRUE(tree_.IsBranchVisible(2, b, 3)) << b;
  }
  tree_.Select(VisibilityTree::BranchIndex(1, 2, 3));
  tree_.ShowObjectBtnClick();
  EXPECT_EQ(States(), "+--+-++++");
  EXPECT_TRUE(tree_.IsBranchVisible(1, 2, 3));
  EXPECT_FALSE(tree_.IsBranchVisible(1, 3, 3));
  EXPECT_EQ(treeRepaints_, 1 + 2);  // the rebuild and both clicks
  EXPECT_EQ(ui_.Repaints[View::FitChart], 2);

  tree_.Select(0);
  tree_.HideObjectBtnClick();
  EXPECT_EQ(States(), "---------");
  tree_.ShowObjectBtnClick();
  EXPECT_EQ(States(), "+++++++++");
}

TEST_F(VisibilityTreeTest, ButtonsWithoutSelectionOnlyRepaint) {
  tree_.Rebuild(2, 10, 3);
  tree_.SetSubtreeVisible(VisibilityTree::ResponseIndex(2, 3), false);
  treeRepaints_ = 0;
  tree_.HideObjectBtnClick();
  tree_.ShowObjectBtnClick();
  EXPECT_EQ(States(), "+++++----");
  EXPECT_EQ(treeRepaints_, 2);
  EXPECT_EQ(ui_.Repaints[View::FitChart], 2);
}

TEST_F(VisibilityTreeTest, ARebuildShowsEveryNodeAgainAndForgetsTheSelection) {
  tree_.Rebuild(2, 10, 3);
  tree_.Select(VisibilityTree::ResponseIndex(1, 3));
  tree_.HideObjectBtnClick();
  const int generation = tree_.Generation();
  tree_.Rebuild(2, 10, 3);
  EXPECT_EQ(States(), "+++++++++");
  EXPECT_EQ(tree_.Selected(), -1);
  EXPECT_NE(tree_.Generation(), generation);
  tree_.HideObjectBtnClick();  // the old selection must not come back
  EXPECT_EQ(States(), "+++++++++");
}

TEST_F(VisibilityTreeTest, LookupsOutsideTheTreeAreShownAndBadIndexesAreRefused) {
  tree_.Rebuild(2, 1, 1);  // root alone
  tree_.SetSubtreeVisible(0, false);
  EXPECT_TRUE(tree_.IsBranchVisible(1, 1, 1));
  tree_.Rebuild(2, 10, 3);
  tree_.Select(0);
  tree_.HideObjectBtnClick();
  EXPECT_TRUE(tree_.IsBranchVisible(3, 1, 3));     // response beyond DepCount
  EXPECT_TRUE(tree_.IsBranchVisible(2, 3, 1000));  // counts the tree was not built with
  EXPECT_TRUE(tree_.IsBranchVisible(0, -5, 3));
  EXPECT_FALSE(tree_.IsBranchVisible(2, 3, 3));
  EXPECT_THROW(tree_.Select(9), std::out_of_range);
  EXPECT_THROW(tree_.Select(-2), std::out_of_range);
  EXPECT_THROW(tree_.SetSubtreeVisible(9, true), std::out_of_range);
  EXPECT_EQ(tree_.Selected(), 0);
  tree_.Select(-1);
  EXPECT_EQ(tree_.Selected(), -1);
}

TEST(DebugGrid, ShowsTheLastDataSetWithSixDigitsAndBlanksForMissingValues) {
  auto data = std::make_unique<TDataSet>();
  data->XData.IndepCount = 2;
  data->YData.DepCount = 2;
  data->YData.EventCount = 2;
  const double x[2][2] = {{0.5, 12.5}, {1, 2}}, y[2][2] = {{-3, 1234567.8}, {0.001234567, 7}};
  for (int j = 1; j <= 2; ++j)
    for (int i = 1; i <= 2; ++i) {
      data->XData.X[j][i] = x[j - 1][i - 1];
      data->XData.Defined[j][i] = true;
      data->YData.M[j][i] = y[j - 1][i - 1];
      data->YData.Defined[j][i] = true;
    }
  data->YData.Defined[2][2] = false;
  data->XData.Defined[2][1] = false;
  DebugGrid grid;
  grid.Show(*data, {{}, {"A"}, {}});
  const std::vector<std::vector<std::string>> expected = {
      {"", "X[1]", "X[2]", "A", "Y[2]", ""},
      {"", "0.50000", "12.5000", "-3.00000", "1234568", ""},
      {"", "", "2.00000", "0.00123", "", ""},
      {"", "", "", "", "", ""}};
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 6; ++col)
      EXPECT_EQ(grid.Text(col, row), expected[row][col]) << col << ", " << row;

  // A smaller set replaces everything: nothing of the earlier one is left behind.
  data->XData.IndepCount = 1;
  data->YData.DepCount = 1;
  data->YData.EventCount = 1;
  grid.Show(*data);
  EXPECT_EQ(grid.Text(1, 1), "0.50000");
  EXPECT_EQ(grid.Text(2, 1), "-3.00000");
  EXPECT_EQ(grid.Text(3, 1), "");
  EXPECT_EQ(grid.Text(4, 1), "");
  EXPECT_EQ(grid.Text(3, 2), "");
}

TEST(DebugGrid, KeepsOnlyWhatFitsItsFixedSize) {
  auto data = std::make_unique<TDataSet>();
  data->XData.IndepCount = kMaxIndep;
  data->YData.DepCount = kMaxDep;
  data->YData.EventCount = kMaxEvents;
  for (int j = 1; j <= kMaxEvents; ++j) {
    for (int i = 1; i <= kMaxIndep; ++i) data->XData.Defined[j][i] = true;
    for (int i = 1; i <= kMaxDep; ++i) {
      data->YData.M[j][i] = i;
      data->YData.Defined[j][i] = true;
    }
  }
  DebugGrid grid;
  grid.Show(*data);
  EXPECT_EQ(grid.Text(69, 500), "49.0000");  // the last visible cell: Y[49] of event 500
  EXPECT_EQ(grid.Text(0, 500), "");
  EXPECT_THROW(grid.Text(70, 1), std::out_of_range);
  EXPECT_THROW(grid.Text(1, 501), std::out_of_range);
}

}  // namespace
}  // namespace zelk
