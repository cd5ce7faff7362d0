#include "presentation/visibility_tree.h"

#include <stdexcept>
#include <utility>

#include "model/experiments.h"

namespace zelk {

VisibilityTree::VisibilityTree(std::function<void()> chartChanged)
    : chartChanged_(std::move(chartChanged)) {
  AddNode("Data Structure", -1);
}

void VisibilityTree::AddNode(std::string text, int parent) {
  VisibilityNode node;
  node.Text = std::move(text);
  node.Parent = parent;
  nodes_.push_back(std::move(node));
}

void VisibilityTree::Rebuild(int depCount, int eventCount, int experimentCount) {
  nodes_.clear();
  selected_ = -1;
  ++generation_;
  AddNode("Data Structure", -1);
  if (eventCount >= 2 && experimentCount >= 1 && depCount >= 1) {
    nodes_.reserve(static_cast<std::size_t>(depCount) * (experimentCount + 1) + 1);
    for (int r = 1; r <= depCount; ++r) {
      const int response = Count();
      AddNode("Response " + std::to_string(r), 0);
      for (int b = 1; b <= experimentCount; ++b) AddNode("Branch " + std::to_string(b), response);
    }
  }
  RepaintTree();
}

void VisibilityTree::Rebuild(const TDataSet& measured) {
  const int events = measured.YData.EventCount;
  Rebuild(measured.YData.DepCount, events, CountExperiments(measured.XData, events));
}

std::vector<int> VisibilityTree::Children(int index) const {
  (void)nodes_.at(index);
  // Depth-first order keeps a subtree contiguous: it ends at the first node whose parent
  // lies before `index`.
  std::vector<int> children;
  for (int i = index + 1; i < Count() && nodes_[i].Parent >= index; ++i)
    if (nodes_[i].Parent == index) children.push_back(i);
  return children;
}

bool VisibilityTree::IsBranchVisible(int r, int b, int experimentCount) const {
  const long long index =
      (static_cast<long long>(r) - 1) * (static_cast<long long>(experimentCount) + 1) + 1 + b;
  if (index < 0 || index >= Count()) return true;
  return nodes_[static_cast<std::size_t>(index)].Shown();
}

void VisibilityTree::SetSubtreeVisible(int node, bool shown) {
  VisibilityNode& n = nodes_.at(node);
  n.ImageIndex = n.SelectedIndex = shown ? kShownImage : kHiddenImage;
  for (int child : Children(node)) SetSubtreeVisible(child, shown);
}

void VisibilityTree::Select(int index) {
  if (index != -1 && (index < 0 || index >= Count()))
    throw std::out_of_range("visibility node out of range");
  selected_ = index;
}

void VisibilityTree::ButtonClick(bool shown) {
  if (selected_ >= 0) SetSubtreeVisible(selected_, shown);
  RepaintTree();
  if (chartChanged_) chartChanged_();
}

void VisibilityTree::HideObjectBtnClick() { ButtonClick(false); }
void VisibilityTree::ShowObjectBtnClick() { ButtonClick(true); }

void VisibilityTree::RepaintTree() {
  if (repaintTree_) repaintTree_();
}

}  // namespace zelk
