#pragma once
// The experimental data set: fixed-capacity blocks whose rows have the exact layout handed
// to a compiled model. Row 0 and column 0 never hold values; event j, variable i is [j][i].

#include <array>
#include <cstdint>
#include <stdexcept>

namespace zelk {

inline constexpr int kMaxIndep = 20;
inline constexpr int kMaxDep = 50;
inline constexpr int kMaxEvents = 1000;

using T20Vector = std::array<double, kMaxIndep + 1>;
using T50Vector = std::array<double, kMaxDep + 1>;
using TIndepFlags = std::array<bool, kMaxIndep + 1>;
using TDepFlags = std::array<bool, kMaxDep + 1>;

// Independent block. Range[0] is the largest, Range[1] the smallest value of X[.][1].
struct TXData {
  std::int32_t IndepCount = 1;
  std::array<T20Vector, kMaxEvents + 1> X{};
  std::array<TIndepFlags, kMaxEvents + 1> Defined{};
  std::array<double, 2> Range{};
};

// Dependent block: measured values M (entered by the user) and computed values C (written
// only by the solver). Range[0]/Range[1] are the largest/smallest measured value.
struct TYData {
  std::int32_t DepCount = 1;
  std::int32_t EventCount = 1;
  std::array<T50Vector, kMaxEvents + 1> M{};
  std::array<T50Vector, kMaxEvents + 1> C{};
  std::array<TDepFlags, kMaxEvents + 1> Defined{};
  std::array<double, 2> Range{};
};

struct TDataSet {
  TXData XData;
  TYData YData;
};

// Checked cell access for indexes that come from files, grids or users.
inline void CheckCell(int event, int variable, int maxVariable) {
  if (event < 0 || event > kMaxEvents || variable < 0 || variable > maxVariable)
    throw std::out_of_range("data set cell out of range");
}

// Events 1..EventCount, dependent variables 1..DepCount whose measured value is missing.
int CountMissingValues(const TDataSet& data);

// Every independent value of events 1..1000 and variables 1..20, and every measured and
// computed value of variables 1..50, becomes 0 and not defined. Counts are left alone.
void ClearValues(TDataSet& data);

// Ranges of X[.][1] and of the measured values over events 1..EventCount; every cell counts,
// defined or not. A later candidate replaces an extreme only when strictly beyond it.
void ComputeRanges(TDataSet& data);

}  // namespace zelk
