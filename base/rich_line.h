#pragma once
// Rich text as lines of runs: what the report box holds.

#include <string>
#include <vector>

namespace zelk {

// A run of text in one size (points) and style, and a line of runs: the report's rich text.
struct RichRun {
  std::string Text;
  int Size = 8;
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool operator==(const RichRun&) const = default;
};
using RichLine = std::vector<RichRun>;

}  // namespace zelk
