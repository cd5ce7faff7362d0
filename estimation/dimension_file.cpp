#include "estimation/dimension_file.h"

#include "base/data_file.h"
#include "base/data_set.h"
#include "estimation/parameter_record.h"

namespace zelk {

DimensionRange RangeOf(Dimension d) {
  switch (d) {
    case Dimension::Indep:
    case Dimension::Dep: return {1, kMaxVariables};
    case Dimension::Events: return {1, kMaxEventCount};
    case Dimension::DifEq:
    case Dimension::AlgEq: return {0, kMaxVariables};
    case Dimension::Param: return {1, kMaxParamCount};
  }
  return {0, 0};
}

std::vector<std::int32_t> DecodeDimensionFile(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::int32_t> counts;
  for (std::size_t at = 0; at + 4 <= bytes.size() && counts.size() < kDimensionFileOrder.size();
       at += 4)
    counts.push_back(ReadInt32(&bytes[at]));
  return counts;
}

}  // namespace zelk
