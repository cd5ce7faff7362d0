// The Visibility page's wiring, offscreen: the tree widget shows the core's nodes, a click in
// it selects the core's node, and the buttons change the states the chart reads.

#include "ui/visibility_page.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include "support/scripted_ui.h"

namespace zelk {
namespace {

class VisibilityPageTest : public ::testing::Test {
 protected:
  VisibilityPageTest() { tree_.Rebuild(2, 10, 3); }

  bool DrawnShown(int index) const {
    QTreeWidgetItem* item = page_.Item(index);
    EXPECT_NE(item, nullptr) << index;
    const qint64 key = item->icon(0).cacheKey();
    EXPECT_TRUE(key == VisibilityImage(kShownImage).cacheKey() ||
                key == VisibilityImage(kHiddenImage).cacheKey())
        << index;
    return key == VisibilityImage(kShownImage).cacheKey();
  }
  // Every item's image agrees with the core's state.
  void ExpectImagesFollowTheCore() const {
    for (int i = 0; i < tree_.Count(); ++i) EXPECT_EQ(DrawnShown(i), tree_.Node(i).Shown()) << i;
  }
  void ClickItem(int index) {
    QTreeWidget* list = page_.BranchList();
    const QRect rect = list->visualItemRect(page_.Item(index));
    ASSERT_TRUE(rect.isValid()) << index;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  }

  test::ScriptedUi ui_;
  VisibilityTree tree_{[this] { ui_.Repaint(View::FitChart); }};
  VisibilityPage page_{tree_};
};

TEST_F(VisibilityPageTest, ShowsTheCoresNodesWithTheirNamesAndImages) {
  QTreeWidget* list = page_.findChild<QTreeWidget*>("BranchList");
  ASSERT_EQ(list, page_.BranchList());
  EXPECT_EQ(page_.findChild<QToolButton*>("HideObjectBtn")->toolTip(), "Hide");
  EXPECT_EQ(page_.findChild<QToolButton*>("ShowObjectBtn")->toolTip(), "Show");
  EXPECT_EQ(page_.HideButton()->icon().cacheKey(), VisibilityImage(kHiddenImage).cacheKey());
  EXPECT_EQ(page_.ShowButton()->icon().cacheKey(), VisibilityImage(kShownImage).cacheKey());

  ASSERT_EQ(list->topLevelItemCount(), 1);
  QTreeWidgetItem* root = list->topLevelItem(0);
  EXPECT_EQ(root->text(0), "Data Structure");
  ASSERT_EQ(root->childCount(), 2);
  EXPECT_EQ(root->child(1)->text(0), "Response 2");
  ASSERT_EQ(root->child(1)->childCount(), 3);
  EXPECT_EQ(root->child(1)->child(1)->text(0), "Branch 2");
  EXPECT_EQ(root->child(1)->child(1), page_.Item(7));
  ExpectImagesFollowTheCore();
}

TEST_F(VisibilityPageTest, ButtonsChangeTheStatesOfTheClickedSubtree) {
  page_.show();
  ClickItem(VisibilityTree::ResponseIndex(1, 3));
  EXPECT_EQ(tree_.Selected(), 1);
  QTest::mouseClick(page_.HideButton(), Qt::LeftButton);
  for (int b = 1; b <= 3; ++b) {
    EXPECT_FALSE(tree_.IsBranchVisible(1, b, 3));
    EXPECT_TRUE(tree_.IsBranchVisible(2, b, 3));
  }
  ExpectImagesFollowTheCore();
  EXPECT_EQ(ui_.Repaints[View::FitChart], 1);

  page_.Item(1)->setExpanded(true);
  ClickItem(VisibilityTree::BranchIndex(1, 2, 3));
  QTest::mouseClick(page_.ShowButton(), Qt::LeftButton);
  EXPECT_TRUE(tree_.IsBranchVisible(1, 2, 3));
  EXPECT_FALSE(tree_.Node(1).Shown());
  ExpectImagesFollowTheCore();
  EXPECT_TRUE(page_.Item(1)->isExpanded());  // a state change keeps the items
  EXPECT_EQ(page_.BranchList()->currentItem(), page_.Item(3));
}

TEST_F(VisibilityPageTest, FollowsACoreRebuild) {
  page_.BranchList()->setCurrentItem(page_.Item(0));
  page_.HideButton()->click();
  ASSERT_FALSE(DrawnShown(8));

  tree_.Rebuild(1, 5, 2);
  ASSERT_EQ(page_.BranchList()->topLevelItem(0)->childCount(), 1);
  EXPECT_EQ(page_.BranchList()->topLevelItem(0)->child(0)->childCount(), 2);
  EXPECT_EQ(page_.Item(4), nullptr);
  EXPECT_EQ(page_.BranchList()->currentItem(), nullptr);
  ExpectImagesFollowTheCore();

  // No selection: Hide changes nothing, yet the chart is asked to repaint.
  page_.HideButton()->click();
  ExpectImagesFollowTheCore();
  EXPECT_TRUE(tree_.Node(0).Shown());
  EXPECT_EQ(ui_.Repaints[View::FitChart], 2);

  tree_.Rebuild(2, 1, 1);
  EXPECT_EQ(page_.BranchList()->topLevelItem(0)->childCount(), 0);
}

}  // namespace
}  // namespace zelk
