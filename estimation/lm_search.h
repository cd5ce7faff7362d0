#pragma once
// The Levenberg-Marquardt search: Ceres' trust-region LM over the free parameters of the
// table, inside their bounds, on the residuals of a fit problem, with the fit problem's
// Jacobian (which never asks for a solution outside the bounds). A run that meets its
// tolerances where a Gauss-Newton step would still lower the objective noticeably has
// stalled, and says so.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "estimation/fit_problem.h"
#include "estimation/parameter_record.h"
#include "estimation/search_run.h"

namespace zelk {

inline constexpr int kLMDefaultIterations = 200;
// A converged run whose Gauss-Newton step would still take this share off the objective
// has stalled...
inline constexpr double kStalledDecrease = 1e-4;
// ... by a step that moves some parameter by more than this share of its value.
inline constexpr double kStalledMove = 1e-4;

struct LMOutcome {
  SearchEnd Reason = SearchEnd::Stopped;  // Converged, Stalled, Calls, Stopped or SolveFailed
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
  // Between the solutions of a Jacobian; false stops the search where the last iteration
  // left it.
  std::function<bool()> Serve;
};

// Whether the objective in use is a sum of squared residuals LM can minimise.
bool LMCanFit(TObjectiveKind kind);

// Runs the search from record.Value (moved inside the bounds first); Value follows the best
// point found. At most `maxIterations` iterations.
LMOutcome RunLM(FitProblem& problem, TParameterRecord& record, int maxIterations,
                const LMTolerances& tolerances, const LMHooks& hooks);

}  // namespace zelk
