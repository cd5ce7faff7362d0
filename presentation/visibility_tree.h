#pragma once
// The visibility tree (the view's BranchList) as a plain model: a root, one node per response
// and below each response one node per experiment (branch). Each node is shown or hidden; the
// fit chart asks IsBranchVisible before it draws a response of an experiment.
//
// Nodes are held in depth-first order, so a node's position is its flat index: root 0,
// response r at (r-1)(E+1)+1, its branch b at (r-1)(E+1)+1+b.

#include <functional>
#include <string>
#include <vector>

#include "base/data_set.h"

namespace zelk {

// Image indexes of a node: the hide button's image marks a hidden node, the show button's a
// shown one. The selected image always equals the image.
inline constexpr int kHiddenImage = 0;
inline constexpr int kShownImage = 1;

struct VisibilityNode {
  std::string Text;
  int Parent = -1;  // flat index of the parent; -1 for the root
  int ImageIndex = kShownImage;
  int SelectedIndex = kShownImage;
  bool Shown() const { return ImageIndex == kShownImage; }
};

class VisibilityTree {
 public:
  // Starts with the root alone, shown, nothing selected. `chartChanged` runs when Hide or Show
  // changed what the fit chart draws.
  explicit VisibilityTree(std::function<void()> chartChanged);

  // Deletes every node and creates root, response 1, its branches 1..experimentCount,
  // response 2, ... all shown; the selection is cleared. Responses and branches exist only
  // when eventCount >= 2, experimentCount >= 1 and depCount >= 1, else the root stands alone.
  // The tree is repainted.
  void Rebuild(int depCount, int eventCount, int experimentCount);
  // The same for a data set: its counts and CountExperiments over its events.
  void Rebuild(const TDataSet& measured);

  int Count() const { return static_cast<int>(nodes_.size()); }
  // Throws std::out_of_range for an index outside 0..Count()-1.
  const VisibilityNode& Node(int index) const { return nodes_.at(index); }
  // Flat indexes of a node's children, first to last.
  std::vector<int> Children(int index) const;
  // Bumped by every Rebuild, so a view can tell a new tree from changed states.
  int Generation() const { return generation_; }

  static int ResponseIndex(int r, int experimentCount) {
    return (r - 1) * (experimentCount + 1) + 1;
  }
  static int BranchIndex(int r, int b, int experimentCount) {
    return ResponseIndex(r, experimentCount) + b;
  }

  // True when the node with flat index (r-1)(E+1)+1+b is shown. An index outside the tree
  // (the root alone, or counts the tree was not built with) gives true: a stale tree never
  // hides data from the chart.
  bool IsBranchVisible(int r, int b, int experimentCount) const;

  // The node and, recursively, all its descendants become shown or hidden.
  void SetSubtreeVisible(int node, bool shown);

  // -1 when nothing is selected.
  int Selected() const { return selected_; }
  // The view's selection; -1 clears it. Throws std::out_of_range for any other bad index.
  void Select(int index);

  // The Hide and Show buttons: the selected subtree (if any) changes state, then the tree
  // and the fit chart are repainted.
  void HideObjectBtnClick();
  void ShowObjectBtnClick();

  // Called whenever the tree needs repainting (rebuilt or states changed).
  void SetRepaintTree(std::function<void()> repaint) { repaintTree_ = std::move(repaint); }

 private:
  void ButtonClick(bool shown);
  void RepaintTree();
  void AddNode(std::string text, int parent);

  std::function<void()> chartChanged_;
  std::function<void()> repaintTree_;
  std::vector<VisibilityNode> nodes_;
  int selected_ = -1;
  int generation_ = 0;
};

}  // namespace zelk
