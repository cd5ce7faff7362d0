#pragma once
// The message pane's contents: the last kMaxLines lines added, oldest first. The pane follows
// its newest line and the compiler's output streams into it, so it keeps a session's worth.

#include <deque>
#include <functional>
#include <string>
#include <utility>

namespace zelk {

class MessageLog {
 public:
  static constexpr std::size_t kMaxLines = 500;
  // `changed` runs after every change, for the pane to be redrawn.
  explicit MessageLog(std::function<void()> changed) : changed_(std::move(changed)) {}
  // Appends a line (a text with line breaks counts as several) and drops the oldest ones
  // beyond kMaxLines.
  void AddMessage(const std::string& text);
  const std::deque<std::string>& Lines() const { return lines_; }

 private:
  std::function<void()> changed_;
  std::deque<std::string> lines_;
};

}  // namespace zelk
