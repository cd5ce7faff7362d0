#pragma once
// Multi-start: many local fits from starts spread over the bounds, the field's answer to
// models with several optima. The starts are a Latin hypercube in each parameter's scale,
// reproducible from a seed; the first is the current values. Shards are deterministic
// slices of the same starts, so that a cluster's shards merge into one run's result.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "estimation/fit.h"
#include "estimation/parameter_record.h"

namespace zelk {

// `count` starts for the free parameters of `table` (fixed ones keep their values): start 1
// is table.Value, the others a Latin hypercube sample of count - 1 points inside the bounds,
// on the logarithm of a parameter with a logarithmic scale and positive bounds. An unbounded
// side reaches a factor 100 (logarithmic) or 100 |value| + 1 (linear) from the value.
std::vector<T20Vector> LatinHypercubeStarts(const TParameterRecord& table, int count,
                                            std::uint64_t seed);

// The starts (1-based) shard `index` of `shards` runs: every shards-th from the index-th.
std::vector<int> ShardStarts(int count, int index, int shards);

// Sorted by objective (failed ones last, by start); ties by start number.
void SortStarts(std::vector<StartResult>& results);

// How many starts reached the best objective: within max(1, |best|) * relative of it.
inline constexpr double kReachedTolerance = 1e-3;
int CountReachingBest(const std::vector<StartResult>& sorted, double relative = kReachedTolerance);

// The starts' results through a pipe: one text each, read back exactly.
std::string EncodeStart(const StartResult& r);
bool DecodeStart(const std::string& text, StartResult& r);

struct MultiStartOptions {
  int Count = 1;            // starts in all
  std::uint64_t Seed = 1;
  int Jobs = 1;             // children at once
  double StartSeconds = 0;  // a start's time; 0: no limit
  std::vector<int> Only;    // the starts to run (a shard's); empty: all
};

// Runs the starts of `table` (LatinHypercubeStarts), each a Fit(fit, problem, copy of table,
// quiet) in a child process of its own: a start that crashes or runs out of time is recorded
// as such and the others go on. `finished` hears of each as it ends, `keepGoing` is asked
// between events (false stops: running starts are dropped, finished ones kept). Sorted by
// SortStarts.
std::vector<StartResult> RunStarts(const FitOptions& fit, FitProblem& problem,
                                   const TParameterRecord& table, const MultiStartOptions& options,
                                   FitObserver& quiet,
                                   const std::function<void(const StartResult&)>& finished = {},
                                   const std::function<bool()>& keepGoing = {});

}  // namespace zelk
