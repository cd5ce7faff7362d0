#pragma once
// The Visibility page: the tree BranchList over the core VisibilityTree and the buttons Hide
// and Show. The view holds no state of its own: a selection goes to the core, the buttons
// call the core's handlers, and Refresh draws what the core holds.

#include <QIcon>
#include <QWidget>
#include <vector>

#include "presentation/visibility_tree.h"

class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace zelk {

// Image 0 (hidden: a struck-out eye) and image 1 (shown: an open eye), 16 x 16.
QIcon VisibilityImage(int imageIndex);

class VisibilityPage : public QWidget {
 public:
  // Installs itself as the tree's repaint callback for as long as it lives.
  explicit VisibilityPage(VisibilityTree& tree, QWidget* parent = nullptr);
  ~VisibilityPage() override;

  // A rebuilt core tree is recreated item by item; otherwise only the images and the
  // selection are brought up to date, so expanded nodes stay expanded.
  void Refresh();

  QTreeWidget* BranchList() const { return list_; }
  QToolButton* HideButton() const { return hide_; }
  QToolButton* ShowButton() const { return show_; }
  // The item of a flat index; nullptr outside the tree.
  QTreeWidgetItem* Item(int index) const;

 private:
  void Recreate();

  VisibilityTree& tree_;
  QTreeWidget* list_;
  QToolButton* hide_;
  QToolButton* show_;
  std::vector<QTreeWidgetItem*> items_;  // by flat index
  int generation_ = -1;
  bool syncing_ = false;
};

}  // namespace zelk
