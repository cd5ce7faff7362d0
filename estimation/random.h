#pragma once
// The one random source of the searches: seed := seed * 134775813 + 1 (mod 2^32), the
// value seed * 2^-32 in [0, 1). The seed is 0 when the program starts and is never
// re-seeded, so a run of the program draws the same sequence from its start.

#include <cstdint>

namespace zelk {

double NextRandom();

// For tests and batch runs that must start from a known point of the sequence.
void SetRandomSeed(std::uint32_t seed);
std::uint32_t RandomSeed();

}  // namespace zelk
