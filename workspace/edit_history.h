#pragma once
// The steps of a document's editing that Undo takes back and Redo does again: newest last, the
// oldest dropped beyond kMostSteps, and a new step drops what could be redone.

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

namespace zelk {

template <class Step>
class EditHistory {
 public:
  static constexpr std::size_t kMostSteps = 200;

  void Push(Step step) {
    if (undo_.size() == kMostSteps) undo_.erase(undo_.begin());
    undo_.push_back(std::move(step));
    redo_.clear();
  }
  // The newest step to undo (or, not `undo`, to redo), moved over to the other side; nothing
  // when there is none.
  std::optional<Step> Take(bool undo) {
    std::vector<Step>& from = undo ? undo_ : redo_;
    std::vector<Step>& to = undo ? redo_ : undo_;
    if (from.empty()) return std::nullopt;
    to.push_back(std::move(from.back()));
    from.pop_back();
    return to.back();
  }
  bool CanUndo() const { return !undo_.empty(); }
  bool CanRedo() const { return !redo_.empty(); }
  void Clear() {
    undo_.clear();
    redo_.clear();
  }

 private:
  std::vector<Step> undo_, redo_;
};

}  // namespace zelk
