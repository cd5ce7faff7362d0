#pragma once
// The Flow page's texts: "Objective function:", "Total:" and "Successful:" of the
// Optimization page, written only when a new best value is shown, and the F-Test page's
// "Parameter:", "Limit:", "Limit Objective:", "Min:" and "Descent:". Written from the
// estimation session's numbers as it reports what changed.

#include <string>

#include "estimation/run_loop.h"
#include "estimation/search_state.h"
#include "estimation/run_loop.h"

namespace zelk {

struct FlowTexts {
  std::string Objective, Total, Successful;
  std::string Parameter, Limit, LimitObjective, Minimum, Descent;

  // The texts `what` touches, from the search state; true when one was written.
  bool Follow(FitChange what, const SearchState& state);
  // The Optimization page's three, for a new model or data set.
  void ForgetBest();
};

}  // namespace zelk
