#include "estimation/random.h"

namespace zelk {

namespace {
std::uint32_t seed = 0;
}

double NextRandom() {
  seed = seed * 134775813u + 1u;
  return seed * (1.0 / 4294967296.0);
}

void SetRandomSeed(std::uint32_t value) { seed = value; }
std::uint32_t RandomSeed() { return seed; }

}  // namespace zelk
