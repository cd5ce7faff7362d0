#pragma once
// The experimental data set: blocks whose rows have the exact layout handed to a compiled
// model. Row 0 and column 0 never hold values; event j, variable i is [j][i]. The blocks hold
// at least the classic 1000 events, 20 independent and 50 dependent variables and grow with
// the problem (Hold).

#include <array>
#include <cstdint>
#include <stdexcept>

#include "base/slots.h"

namespace zelk {

inline constexpr int kMaxIndep = 20;
inline constexpr int kMaxDep = 50;
inline constexpr int kMaxEvents = 1000;

// Not limits of a format but of memory: a block of a data set holds at most this many cells
// (20 000 events of 800 variables), and no count may pass these.
inline constexpr std::int64_t kMaxDataCells = std::int64_t{1} << 24;
inline constexpr int kMaxVariables = 15000;
inline constexpr int kMaxEventCount = 300000;

// Whether a data set of these counts fits in memory (kMaxDataCells per block).
bool FitsInMemory(std::int64_t events, std::int64_t indep, std::int64_t dep);

// The classic sizes name the vectors; they are floors, not ceilings.
using T20Vector = TSlots<double, kMaxIndep>;
using T50Vector = TSlots<double, kMaxDep>;
using TXTable = TTable<double, kMaxEvents, kMaxIndep>;
using TYTable = TTable<double, kMaxEvents, kMaxDep>;
using TIndepFlags = TTable<std::uint8_t, kMaxEvents, kMaxIndep>;
using TDepFlags = TTable<std::uint8_t, kMaxEvents, kMaxDep>;

// Independent block. Range[0] is the largest, Range[1] the smallest value of X[.][1].
struct TXData {
  std::int32_t IndepCount = 1;
  TXTable X;
  TIndepFlags Defined;
  std::array<double, 2> Range{};
};

// Dependent block: measured values M (entered by the user) and computed values C (written
// only by the solver). Range[0]/Range[1] are the largest/smallest measured value.
struct TYData {
  std::int32_t DepCount = 1;
  std::int32_t EventCount = 1;
  TYTable M;
  TYTable C;
  TDepFlags Defined;
  std::array<double, 2> Range{};
};

struct TDataSet {
  TXData XData;
  TYData YData;
};

// Makes room for events 1..events, independent 1..indep and dependent 1..dep; every value
// stays where it was. Counts are left alone.
void Hold(TDataSet& data, int events, int indep, int dep);
// Room for the counts the data set already has.
inline void HoldCounts(TDataSet& data) {
  Hold(data, data.YData.EventCount, data.XData.IndepCount, data.YData.DepCount);
}

// Events 1..EventCount, dependent variables 1..DepCount whose measured value is missing.
int CountMissingValues(const TDataSet& data);

// Every independent, measured and computed value becomes 0 and not defined. Counts are
// left alone.
void ClearValues(TDataSet& data);

// Ranges of X[.][1] and of the measured values over events 1..EventCount; every cell counts,
// defined or not. A later candidate replaces an extreme only when strictly beyond it.
void ComputeRanges(TDataSet& data);

}  // namespace zelk
