#pragma once
// Rich text as lines of runs: what the report box holds.

#include <string>
#include <vector>

namespace zelk {

// A run of text in one size (points) and style.
struct RichRun {
  std::string Text;
  int Size = 8;
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool operator==(const RichRun&) const = default;
};

inline constexpr int kTwipsPerInch = 1440;

// A line of runs: the report's rich text is one paragraph per line. Its left-aligned tab
// stops, in twips from the left margin and ascending, are what lines a table's header up with
// its rows; none means the default stops.
struct RichLine {
  std::vector<RichRun> Runs;
  std::vector<int> TabStops = {};
  bool operator==(const RichLine&) const = default;
};

}  // namespace zelk
