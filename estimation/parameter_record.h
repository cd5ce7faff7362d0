#pragma once
// The parameter table: every per-parameter value, parameters 1..Count, element 0 unused.
// Its memory layout is also the parameter file's, so the offsets below are binding and
// checked at compile time (x86-64 natural alignment).

#include <array>
#include <cstddef>
#include <cstdint>

#include "base/data_set.h"
#include "model/jacobian.h"

namespace zelk {

inline constexpr int kMaxParams = 20;

using TParamFlags = std::array<bool, kMaxParams + 1>;
using TParamPoints = std::array<T20Vector, kMaxParams + 1>;

struct TParameterRecord {
  std::int32_t Count;
  std::int32_t Reserved1;
  T20Vector TrialValue;  // the latest trial point
  T20Vector Value;       // the current best values
  T20Vector SearchBest;  // best point of the running region-search block
  T20Vector SpareA;      // copies written when a WL search starts
  T20Vector SpareB;
  T20Vector LimitPoint;    // centre of the F-limit profile search
  T20Vector Region;        // relative region sizes of the region searches
  T20Vector RegionWeight;  // WL accumulator of successful moves
  T20Vector MaxBound;
  T20Vector MinBound;
  T20Vector HiFLimit;
  T20Vector LoFLimit;
  T20Vector StdError;
  T20Vector InitialValue;  // Value when the last search started
  TParamFlags Fixed;
  TParamFlags HiFValid;
  TParamFlags LoFValid;
  TParamFlags StdErrValid;
  std::int32_t Reserved2;
  TParamPoints HiLimitPoints;  // point i: where HiFLimit[i] was last extended
  TParamPoints LoLimitPoints;
};

static_assert(sizeof(bool) == 1);
static_assert(sizeof(TParameterRecord) == 9504);
static_assert(offsetof(TParameterRecord, TrialValue) == 8);
static_assert(offsetof(TParameterRecord, Value) == 176);
static_assert(offsetof(TParameterRecord, SearchBest) == 344);
static_assert(offsetof(TParameterRecord, LimitPoint) == 848);
static_assert(offsetof(TParameterRecord, Region) == 1016);
static_assert(offsetof(TParameterRecord, MaxBound) == 1352);
static_assert(offsetof(TParameterRecord, MinBound) == 1520);
static_assert(offsetof(TParameterRecord, HiFLimit) == 1688);
static_assert(offsetof(TParameterRecord, StdError) == 2024);
static_assert(offsetof(TParameterRecord, InitialValue) == 2192);
static_assert(offsetof(TParameterRecord, Fixed) == 2360);
static_assert(offsetof(TParameterRecord, StdErrValid) == 2423);
static_assert(offsetof(TParameterRecord, HiLimitPoints) == 2448);
static_assert(offsetof(TParameterRecord, LoLimitPoints) == 5976);

// The start state: one parameter; for 1..20 values 1, bounds 0..10000, regions 10,
// limits and errors 0, no flags; everything else zero.
TParameterRecord StartParameterRecord();

// HiFLimit and LoFLimit restart from Value (all 21 elements); the valid flags stay.
void ResetFLimits(TParameterRecord& record);

// Sets a bound and recomputes the region: max(MaxBound - Value, Value - MinBound).
enum class TBound { Min, Max };
void SetBound(TParameterRecord& record, int i, TBound which, double v);

// The fit Jacobian's columns: parameters 1..Count inside their Minimum/Maximum bounds.
JacobianColumns JacobianColumnsOf(const TParameterRecord& record);

}  // namespace zelk
