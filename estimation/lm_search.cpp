#include "estimation/lm_search.h"

#include <ceres/ceres.h>
#include <glog/logging.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>
#include <vector>

namespace zelk {

namespace {

// The relative difference step: the cube root of the rounding unit balances truncation and
// rounding for central differences of exact functions. An integrated model is only as smooth
// as its integrator's tolerance, so it gets the larger first step of the other Jacobian.
double RelativeStep(const TModel& model) {
  return model.DifEqCount > 0 ? 1e-4 : std::cbrt(DBL_EPSILON);
}

// The residuals of the measured data at the free parameters x, with the fixed ones at Value:
// C - M, or for the weighted objective (C - M) / max((M + C) / 2, 1e-6).
class ResidualCost final : public ceres::CostFunction {
 public:
  ResidualCost(FitProblem& problem, const TParameterRecord& record, std::vector<int> free,
               const LMHooks& hooks)
      : problem_(problem),
        record_(record),
        free_(std::move(free)),
        cells_(ListResiduals(problem.Model().DifEqCount, problem.Measured().XData,
                             problem.Measured().YData)),
        hooks_(hooks),
        step_(RelativeStep(problem.Model())),
        sensitivities_(problem.UsesSensitivities()),
        plus_(cells_.size()),
        minus_(cells_.size()) {
    set_num_residuals(static_cast<int>(cells_.size()));
    mutable_parameter_block_sizes()->push_back(static_cast<int>(free_.size()));
  }

  bool Evaluate(double const* const* x, double* residuals, double** jacobians) const override {
    T20Vector p = record_.Value;
    for (std::size_t j = 0; j < free_.size(); ++j) p[free_[j]] = x[0][j];
    if (jacobians && jacobians[0] && sensitivities_) return FromSensitivities(p, residuals, jacobians[0]);
    if (!Residuals(p, residuals)) return false;
    if (!jacobians || !jacobians[0]) return true;
    const std::size_t n = free_.size(), m = cells_.size();
    for (std::size_t j = 0; j < n; ++j) {
      const int i = free_[j];
      const double v = p[i];
      const double h = v != 0 ? std::fabs(v) * step_ : step_;
      // Next to a bound the difference turns one-sided; in a box narrower than the step it
      // spans the box.
      double up = v + h, down = v - h;
      const bool canUp = up <= record_.MaxBound[i], canDown = down >= record_.MinBound[i];
      if (!canUp && !canDown) {
        up = record_.MaxBound[i];
        down = record_.MinBound[i];
      }
      T20Vector q = p;
      const double* high = residuals;
      const double* low = residuals;
      double hi = v, lo = v;
      if (canUp || !canDown) {
        q[i] = hi = up;
        if (!Residuals(q, plus_.data())) return false;
        high = plus_.data();
      }
      if (canDown || !canUp) {
        q[i] = lo = down;
        if (!Residuals(q, minus_.data())) return false;
        low = minus_.data();
      }
      for (std::size_t r = 0; r < m; ++r)
        jacobians[0][r * n + j] = hi > lo ? (high[r] - low[r]) / (hi - lo) : 0;
    }
    // The computed values are the last trial's: the search solves its end point once more.
    return true;
  }

 private:
  // One solution with the sensitivities of the free parameters. For the weighted residual
  // r = (C - M) / w, w = max((M + C) / 2, 1e-6): dr = dC / w - r dw / w.
  bool FromSensitivities(const T20Vector& p, double* residuals, double* jacobian) const {
    if (!Solved(problem_.SolveSensitivities(p, free_, events_)) || !FromComputed(residuals))
      return false;
    const TYData& y = problem_.Measured().YData;
    const bool weighted = problem_.ObjectiveKind == TObjectiveKind::WeightedSS;
    const std::size_t n = free_.size();
    for (std::size_t r = 0; r < cells_.size(); ++r) {
      const auto [e, d] = cells_[r];
      const double c = y.C[e][d], mv = y.M[e][d];
      const double w = weighted ? WeightedScale(mv, c) : 1.0;
      const bool floored = weighted && (mv + c) / 2 <= 1e-6;
      for (std::size_t j = 0; j < n; ++j) {
        const double dc = events_[e].Columns[j][d];
        const double dw = weighted && !floored ? dc / 2 : 0;
        jacobian[r * n + j] = (dc - residuals[r] * dw) / w;
      }
    }
    return true;
  }

  bool Residuals(const T20Vector& p, double* out) const {
    return Solved(problem_.Solve(p)) && FromComputed(out);
  }

  bool Solved(SolveResult result) const {
    if (result == SolveResult::Solved) return true;
    if (hooks_.SolveFailed) hooks_.SolveFailed();
    return false;
  }

  // The residuals of the computed values the last solution left; false where one is no number.
  bool FromComputed(double* out) const {
    const TYData& y = problem_.Measured().YData;
    const bool weighted = problem_.ObjectiveKind == TObjectiveKind::WeightedSS;
    for (std::size_t r = 0; r < cells_.size(); ++r) {
      const auto [e, d] = cells_[r];
      const double c = y.C[e][d], mv = y.M[e][d];
      out[r] = weighted ? (c - mv) / WeightedScale(mv, c) : c - mv;
      if (!std::isfinite(out[r])) return false;
    }
    return true;
  }

  FitProblem& problem_;
  const TParameterRecord& record_;
  std::vector<int> free_;
  std::vector<TResidualCell> cells_;
  const LMHooks& hooks_;
  double step_;
  bool sensitivities_;
  mutable std::vector<double> plus_, minus_;
  mutable std::vector<StateSensitivities> events_;
};

class Progress final : public ceres::IterationCallback {
 public:
  Progress(TParameterRecord& record, const std::vector<int>& free, const std::vector<double>& x,
           const LMHooks& hooks, LMOutcome& outcome)
      : record_(record), free_(free), x_(x), hooks_(hooks), outcome_(outcome) {}
  ceres::CallbackReturnType operator()(const ceres::IterationSummary& s) override {
    // x holds the point the search stands on: the last accepted one.
    for (std::size_t j = 0; j < free_.size(); ++j) record_.Value[free_[j]] = x_[j];
    const bool improved = s.iteration > 0 && s.step_is_successful;
    if (s.iteration > 0) ++outcome_.Iterations;
    if (improved) ++outcome_.Successful;
    const bool go = !hooks_.Iteration || hooks_.Iteration(improved, 2 * s.cost);
    return go ? ceres::SOLVER_CONTINUE : ceres::SOLVER_ABORT;
  }

 private:
  TParameterRecord& record_;
  const std::vector<int>& free_;
  const std::vector<double>& x_;
  const LMHooks& hooks_;
  LMOutcome& outcome_;
};

}  // namespace

bool LMCanFit(TObjectiveKind kind) { return kind != TObjectiveKind::BoxDraper; }

namespace {

// One Ceres run over the parameters `free` from their Value; the others stay where they are.
ceres::Solver::Summary Pass(FitProblem& problem, TParameterRecord& record,
                            const std::vector<int>& free, int maxIterations, const LMHooks& hooks,
                            LMOutcome& outcome) {
  std::vector<double> x;
  for (int i : free) x.push_back(record.Value[i]);
  ceres::Problem::Options problemOptions;
  problemOptions.cost_function_ownership = ceres::DO_NOT_TAKE_OWNERSHIP;
  ceres::Problem lm(problemOptions);
  ResidualCost cost(problem, record, free, hooks);
  lm.AddResidualBlock(&cost, nullptr, x.data());
  for (std::size_t j = 0; j < free.size(); ++j) {
    lm.SetParameterLowerBound(x.data(), static_cast<int>(j), record.MinBound[free[j]]);
    lm.SetParameterUpperBound(x.data(), static_cast<int>(j), record.MaxBound[free[j]]);
  }
  Progress progress(record, free, x, hooks, outcome);
  ceres::Solver::Options options;
  options.trust_region_strategy_type = ceres::LEVENBERG_MARQUARDT;
  options.linear_solver_type = ceres::DENSE_QR;
  options.max_num_iterations = maxIterations;
  // Tight enough for a certified sum of squares to nine digits; a run that gets no further
  // ends on the relative change of the objective or of the step.
  options.function_tolerance = 1e-15;
  options.parameter_tolerance = 1e-12;
  options.gradient_tolerance = 1e-16;
  options.num_threads = 1;
  options.logging_type = ceres::SILENT;
  options.update_state_every_iteration = true;
  options.callbacks.push_back(&progress);
  ceres::Solver::Summary summary;
  ceres::Solve(options, &lm, &summary);
  // A run that was stopped or failed gets its start back from Ceres: Value keeps the last
  // point an iteration stood on.
  if (summary.termination_type != ceres::USER_FAILURE && summary.termination_type != ceres::FAILURE)
    for (std::size_t j = 0; j < free.size(); ++j) record.Value[free[j]] = x[j];
  return summary;
}

SearchEnd EndOf(ceres::TerminationType type) {
  switch (type) {
    case ceres::CONVERGENCE:
    case ceres::USER_SUCCESS:
      return SearchEnd::Converged;
    case ceres::NO_CONVERGENCE:
      return SearchEnd::Calls;
    case ceres::USER_FAILURE:
      return SearchEnd::Stopped;
    case ceres::FAILURE:
      break;
  }
  return SearchEnd::SolveFailed;
}

}  // namespace

LMOutcome RunLM(FitProblem& problem, TParameterRecord& record, int maxIterations,
                const LMHooks& hooks) {
  // Ceres logs why it terminated on standard error; the outcome says it to the user.
  FLAGS_minloglevel = google::GLOG_FATAL;
  LMOutcome outcome;
  std::vector<int> free;
  for (int i = 1; i <= record.Count; ++i) {
    if (record.Fixed[i]) continue;
    const double inside = std::clamp(record.Value[i], record.MinBound[i],
                                     std::max(record.MinBound[i], record.MaxBound[i]));
    if (inside != record.Value[i]) outcome.MovedInside.emplace_back(i, inside);
    record.Value[i] = inside;
    free.push_back(i);
  }
  if (free.empty()) {
    outcome.Reason = SearchEnd::Converged;
    outcome.Message = "every parameter is fixed";
    return outcome;
  }
  ceres::Solver::Summary summary = Pass(problem, record, free, maxIterations, hooks, outcome);
  // Steps projected onto the box crawl along a bound: once converged, the parameters that sit
  // on one are held there while the rest converge, then all are let go once more (a
  // parameter whose optimum lies inside moves off again).
  std::vector<int> inside;
  for (int i : free)
    if (record.Value[i] != record.MinBound[i] && record.Value[i] != record.MaxBound[i])
      inside.push_back(i);
  if (summary.termination_type == ceres::CONVERGENCE && !inside.empty() &&
      inside.size() < free.size()) {
    for (const std::vector<int>* pass : {&inside, &free}) {
      const int left = maxIterations - outcome.Iterations;
      if (left <= 0 || summary.termination_type != ceres::CONVERGENCE) break;
      summary = Pass(problem, record, *pass, left, hooks, outcome);
    }
  }
  outcome.Message = summary.message;
  outcome.Reason = EndOf(summary.termination_type);
  return outcome;
}

}  // namespace zelk
