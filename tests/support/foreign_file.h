#pragma once
// Builds ".gr2" images for the tests: the importer has no writer of its own.

#include <cstdint>
#include <vector>

#include "base/format.h"

namespace zelk::test {

struct ForeignImage {
  std::int16_t Indep = 1, Dep = 1, Events = 0;
  Extended80 Marker = DoubleToExtended(-999.0);
  std::uint8_t Version = 2, Reserved = 0;
  // Independent values variable by variable, then dependent ones, event by event.
  std::vector<Extended80> Values;

  std::vector<std::uint8_t> Bytes() const {
    std::vector<std::uint8_t> out{'G', 'R', 'D', Version, Reserved};
    for (std::int16_t count : {Indep, Dep, Events}) {
      out.push_back(static_cast<std::uint8_t>(count & 0xFF));
      out.push_back(static_cast<std::uint8_t>((count >> 8) & 0xFF));
    }
    out.insert(out.end(), Marker.begin(), Marker.end());
    for (const Extended80& v : Values) out.insert(out.end(), v.begin(), v.end());
    return out;
  }
};

}  // namespace zelk::test
