#pragma once
// The D-optimal design of the next measurements: candidate values of the first independent
// variable are merged into the measured events, and the design whose normal matrix J'J has
// the largest determinant is kept.

#include <cstdint>
#include <vector>

#include "base/data_set.h"
#include "base/design_dialog.h"

namespace zelk {

inline constexpr int kDesignCheckEvery = 50;
inline constexpr int kDesignMinIterationsPerPoint = 5000;
inline constexpr double kDesignStalled = 0.001;

// The design data set: the measured events and the candidates (ascending) merged by their
// value of the first independent variable, an event first on a tie. A candidate row takes
// the independent defined flag of the row that follows it in the merge and every response
// defined; its row number goes into `candidateRows`. Responses are copied for the events;
// a candidate's measured values are left to the caller. False (nothing written) when the
// merged set would hold more events than a data set can.
bool MergeDesignData(const TDataSet& measured, const std::vector<double>& candidates,
                     TDataSet& design, std::vector<int>& candidateRows);

// When the design search ends by itself: every 50 iterations, once more than 5000 per point
// have run, if the best determinant moved by less than 0.1 % since the last check. While the
// previous best is 0 no relative change is formed: a best still 0 ends the design (nothing
// raised the determinant), a first positive one is recorded and the search goes on.
class DesignStopRule {
 public:
  explicit DesignStopRule(int points) : points_(points) {}
  // After one iteration with the best determinant so far; true when the design has ended.
  bool AfterIteration(double best);
  long Iteration() const { return k_; }

 private:
  int points_;
  long k_ = 1;
  double previous_ = 0;
};

}  // namespace zelk
