#pragma once
// The parameter table: every per-parameter value, parameters 1..Count, element 0 unused.
// Every vector holds at least the classic 20 parameters and grows with Count (Resize).

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/data_set.h"
#include "model/jacobian.h"

namespace zelk {

inline constexpr int kMaxParams = 20;  // the classic table, and the parameter file's
// Not a format's limit but memory's: the limit points alone are 2 x Count^2 values.
inline constexpr int kMaxParamCount = 2000;

using TParamFlags = TSlots<std::uint8_t, kMaxParams>;
using TParamPoints = TSlots<T20Vector, kMaxParams>;

// How a parameter is searched: as it is, or as its natural or decimal logarithm.
enum class TScale : std::uint8_t { Linear, Ln, Log10 };
using TParamScales = TSlots<TScale, kMaxParams>;

struct TParameterRecord {
  std::int32_t Count;
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
  TParamPoints HiLimitPoints;  // point i: where HiFLimit[i] was last extended
  TParamPoints LoLimitPoints;
  TParamScales Scale;
};

// The start state: one parameter; for 1..20 values 1, bounds 0..10000, regions 10,
// limits and errors 0, no flags, linear scale; everything else zero.
TParameterRecord StartParameterRecord();

// Makes room for `count` parameters and sets Count; new slots get the start state's values.
void Resize(TParameterRecord& record, int count);
// The highest parameter the vectors hold.
inline int Room(const TParameterRecord& record) { return record.Value.Last(); }

// HiFLimit and LoFLimit restart from Value (every element); the valid flags stay.
void ResetFLimits(TParameterRecord& record);

// Sets a bound and recomputes the region: max(MaxBound - Value, Value - MinBound).
enum class TBound { Min, Max };
void SetBound(TParameterRecord& record, int i, TBound which, double v);

// The fit Jacobian's columns: parameters 1..Count inside their Minimum/Maximum bounds.
JacobianColumns JacobianColumnsOf(const TParameterRecord& record);

}  // namespace zelk
