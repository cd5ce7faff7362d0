#pragma once
// OperationMode: which long computation runs. Any code may end it by setting 0; the running
// loop notices at its next test, between two steps.

#include <cstdint>

namespace zelk {

enum TOperation : std::uint8_t {
  kIdle = 0,
  kRandomSearch = 1,
  kGaussNewton = 2,
  kWLSearch = 3,
  kLJSearch = 4,
  kFLimitSearch = 5,
  kDesign = 6,
  kFitChartSolution = 7,
  kLMSearch = 8,
  kMultiStart = 9,
};

inline void EndOperation(std::uint8_t& operationMode) { operationMode = kIdle; }

}  // namespace zelk
