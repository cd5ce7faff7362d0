#pragma once
// The residual autocorrelation test: for each response the ratio D of the mean squared
// successive difference of the residuals e = C - M to their mean square, over every event in
// order as one series (experiments and missing values included), against the critical values
// for the number of events. D is near 2 for independent residuals, small for positive and
// large for negative autocorrelation.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/data_set.h"

namespace zelk {

inline constexpr int kResidualTestMinEvents = 4;
inline constexpr int kResidualGridColumns = 5;

struct TResidualTest {
  int DepCount = 0;
  int EventCount = 0;
  std::vector<double> DStat;  // [1..DepCount]
  // False where every residual of the response is 0: D is then undefined.
  std::vector<bool> DDefined;
  double MaxAbsResidual = 0;  // over all responses and events; 0 after an exact fit
};

// D and the largest residual from the computed and measured values of `y`; false (and `out`
// unchanged) with fewer than four events.
bool ComputeResidualTest(const TYData& y, TResidualTest& out);

// "Positive" below the lower critical value, "Negative" above the upper one, else
// "Insignificant" (both critical values included).
const char* AutocorrelationVerdict(double d, std::uint16_t events);

// ACGrid's texts, row 0 the headings and rows 1..DepCount the responses; an undefined D shows
// "-" in its value and verdict.
std::vector<std::array<std::string, kResidualGridColumns>> ResidualGridTexts(
    const TResidualTest& test);

}  // namespace zelk
