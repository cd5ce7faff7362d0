#pragma once
// The objective functions: one number for how far a solved data set's computed values lie
// from its measured ones. Missing values take no part.

#include <array>

#include "base/data_set.h"
#include "model/model_library.h"
#include "model/solver.h"

namespace zelk {

using TResponseSums = T50Vector;  // [1..DepCount]

// Sum over responses of the squared residuals; `sums` gets each response's share.
double SumOfSquares(const TYData& y, TResponseSums& sums);
// Determinant of the residuals' moment matrix (responses x responses); `sums` untouched.
double BoxDraper(const TYData& y, TResponseSums& sums);
// Squared residuals relative to the mean of measured and computed value (at least 1e-6).
double WeightedSS(const TYData& y, TResponseSums& sums);
// What WeightedSS divides a residual by: the mean of measured and computed, at least 1e-6.
inline double WeightedScale(double measured, double computed) {
  const double mean = (measured + computed) / 2;
  return mean <= 1e-6 ? 1e-6 : mean;
}

double Objective(TObjectiveKind kind, const TYData& y, TResponseSums& sums);

// Determinant of the leading n x n block of a one-based matrix, by row-scaled
// elimination with partial pivoting and extended-precision accumulators. `a` is not changed.
double Determinant(const TNormalMatrix& a, int n);

}  // namespace zelk
