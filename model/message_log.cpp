#include "model/message_log.h"

namespace zelk {

void MessageLog::AddMessage(const std::string& text) {
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find('\n', start);
    lines_.push_back(
        text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  while (lines_.size() > kMaxLines) lines_.pop_front();
  if (changed_) changed_();
}

}  // namespace zelk
