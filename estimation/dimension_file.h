#pragma once
// The six counts that size a problem, and the model's dimension file (.dim) holding five of
// them: what the Dimension page edits and zelkcli reads beside a model.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zelk {

enum class Dimension { Indep, Dep, Events, DifEq, AlgEq, Param };
inline constexpr int kDimensionCount = 6;

// The smallest and largest value of each count.
struct DimensionRange {
  int Min, Max;
};
DimensionRange RangeOf(Dimension d);

// Five little-endian 32-bit counts in this order.
inline constexpr std::size_t kDimensionFileSize = 20;
inline constexpr std::array<Dimension, 5> kDimensionFileOrder = {
    Dimension::AlgEq, Dimension::DifEq, Dimension::Param, Dimension::Indep, Dimension::Dep};
// The counts `bytes` holds whole, in that order: five, or fewer for a short file. Bytes
// beyond the fifth count are ignored.
std::vector<std::int32_t> DecodeDimensionFile(const std::vector<std::uint8_t>& bytes);

}  // namespace zelk
