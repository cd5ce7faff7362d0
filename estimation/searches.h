#pragma once
// The trial points of the random searches. Both draw one random number per parameter
// 1..Count, fixed ones included, and leave fixed parameters' TrialValue alone; moves are
// relative to the value, so a parameter at 0 never moves. Trials are clamped to
// [MinBound, MaxBound] (the lower bound first).

#include <cstdint>

#include "estimation/parameter_record.h"

namespace zelk {

inline constexpr int kRegionBlockCalls = 300;
inline constexpr double kRegionShrink = 0.95;

// A random unit direction d and a step length s = r^ln(T/S) that concentrates near 0 as
// the success rate S/T falls: TrialValue[i] = Value[i] * (1 + s * d[i] / 2).
void RandomDirectionTrial(TParameterRecord& record, std::uint32_t totalCalls,
                          std::uint32_t successfulCalls);

// The F-limit profile's trial: the same draw, centred on LimitPoint, for every parameter but
// k (the probe), Fixed ones included and without clamping to the bounds.
void ProfileTrial(TParameterRecord& record, int k, std::uint32_t totalCalls,
                  std::uint32_t successfulCalls);

// A uniform point of the box Value[i] * (1 +- Region[i]).
void RegionTrial(TParameterRecord& record);

// The end of a region-search block: every Region[i] of 1..Count shrinks by 5 %.
void ShrinkRegions(TParameterRecord& record);

// The adaptive search's record of a successful trial: each parameter with a non-zero centre
// gains its relative move |TrialValue - Value| / |Value|, so that parameters that moved more
// in successful trials shrink faster.
void AddRegionWeights(TParameterRecord& record);
// The adaptive block end: with total weight W > 0, Region[i] *= 1.02 - 0.05 n RegionWeight[i]/W
// and the weights fall to a fifth; with none, every region shrinks by 5 %.
void ShrinkRegionsByWeight(TParameterRecord& record);

}  // namespace zelk
