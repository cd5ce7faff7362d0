#pragma once
// The Levenberg-Marquardt search: Ceres' trust-region LM over the free parameters of the
// table, inside their bounds, on the residuals of a fit problem. The Jacobian is taken by
// central differences with a step scaled to each parameter (a parameter at 0 gets an
// absolute step); next to a bound the difference turns one-sided, so no solution is ever
// asked for outside the bounds.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "estimation/fit_problem.h"
#include "estimation/parameter_record.h"
#include "estimation/search_run.h"

namespace zelk {

inline constexpr int kLMDefaultIterations = 200;

struct LMOutcome {
  SearchEnd Reason = SearchEnd::Stopped;  // Converged, Calls, Stopped or SolveFailed
  std::string Message;                    // why, in the solver's words
  int Iterations = 0;
  int Successful = 0;  // iterations that lowered the objective
  // Parameters whose start lay outside their bounds, and where they started instead.
  std::vector<std::pair<int, double>> MovedInside;
};

struct LMHooks {
  // After every iteration, with the best objective so far (Value holds its parameters);
  // false stops the search.
  std::function<bool(bool improved, double objective)> Iteration;
  // A solution the search asked for failed.
  std::function<void()> SolveFailed;
};

// Whether the objective in use is a sum of squared residuals LM can minimise.
bool LMCanFit(TObjectiveKind kind);

// Runs the search from record.Value (moved inside the bounds first); Value follows the best
// point found. At most `maxIterations` iterations.
LMOutcome RunLM(FitProblem& problem, TParameterRecord& record, int maxIterations,
                const LMHooks& hooks);

}  // namespace zelk
