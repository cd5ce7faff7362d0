#pragma once
// The message pane's contents: the last 20 lines added, oldest first.

#include <deque>
#include <string>

#include "base/user_interface.h"

namespace zelk {

class MessageLog {
 public:
  static constexpr std::size_t kMaxLines = 20;
  explicit MessageLog(UserInterface& ui) : ui_(ui) {}
  // Appends a line (a text with line breaks counts as several) and drops the oldest ones
  // beyond 20.
  void AddMessage(const std::string& text);
  const std::deque<std::string>& Lines() const { return lines_; }

 private:
  UserInterface& ui_;
  std::deque<std::string> lines_;
};

}  // namespace zelk
