#pragma once
// The parameter table. So far only its size, which the dimension controls set; the
// per-parameter values, bounds and limits join it with the parameter grids.

#include <cstdint>

namespace zelk {

inline constexpr int kMaxParams = 20;

struct TParameterRecord {
  std::int32_t Count = 1;
};

}  // namespace zelk
