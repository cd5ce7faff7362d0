#include "estimation/lm_search.h"

#include <ceres/ceres.h>
#include <glog/logging.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>
#include <vector>

#include "base/format.h"
#include "base/messages.h"
#include "estimation/fit_searches.h"
#include "estimation/scales.h"

namespace zelk {

namespace {

constexpr int kLMRestarts = 3;

// A Jacobian the search cannot have is one more failed trial for it, not a box for the user.
class Quiet {
 public:
  explicit Quiet(FitProblem& problem) : problem_(problem), said_(std::move(problem.Say)) {
    problem.Say = {};
  }
  ~Quiet() { problem_.Say = std::move(said_); }
  Quiet(const Quiet&) = delete;
  Quiet& operator=(const Quiet&) = delete;

 private:
  FitProblem& problem_;
  MessageSink said_;
};

// While a Jacobian runs, the problem serves the search's hooks between its columns and takes
// one-sided quotients.
class Serving {
 public:
  Serving(FitProblem& problem, const LMHooks& hooks, bool& stopped) : problem_(problem) {
    if (hooks.Serve)
      problem.BetweenColumns = [&hooks, &stopped] { return !(stopped = !hooks.Serve()); };
    problem.ForwardDifferences = true;
  }
  ~Serving() {
    problem_.BetweenColumns = {};
    problem_.ForwardDifferences = false;
  }
  Serving(const Serving&) = delete;
  Serving& operator=(const Serving&) = delete;

 private:
  FitProblem& problem_;
};

// The free parameters as the search moves them: x_j = u(p_free[j]) on each one's scale.
struct FreeParameters {
  std::vector<int> Index;
  std::vector<TScale> Scale;
  void Natural(const double* x, T20Vector& p) const {
    for (std::size_t j = 0; j < Index.size(); ++j) p[Index[j]] = ToNatural(Scale[j], x[j]);
  }
};

// The residuals of the measured data at the free parameters x, with the fixed ones at Value,
// as the objective in use defines them; their Jacobian is the fit problem's, kept inside the
// bounds, taken with respect to x.
class ResidualCost final : public ceres::CostFunction {
 public:
  ResidualCost(FitProblem& problem, const TParameterRecord& record, const FreeParameters& free,
               const LMHooks& hooks)
      : problem_(problem),
        record_(record),
        free_(free),
        hooks_(hooks),
        columns_(JacobianColumnsOf(record)) {
    columns_.Params = free.Index;
    set_num_residuals(problem.ObservationCount());
    mutable_parameter_block_sizes()->push_back(static_cast<int>(free.Index.size()));
  }

  bool Evaluate(double const* const* x, double* residuals, double** jacobians) const override {
    T20Vector p = record_.Value;
    free_.Natural(x[0], p);
    const std::size_t n = free_.Index.size(), m = static_cast<std::size_t>(num_residuals());
    if (jacobians && jacobians[0]) {
      const Quiet quiet(problem_);
      const Serving serving(problem_, hooks_, stopped_);
      columns_.Slopes.clear();
      for (std::size_t j = 0; j < n; ++j)
        columns_.Slopes.push_back(NaturalSlope(free_.Scale[j], p[free_.Index[j]]));
      if (!problem_.ResidualJacobian(p, columns_)) return stopped_ ? false : Failed();
      const JacobianWork& w = problem_.Work();
      for (std::size_t r = 0; r < m; ++r) {
        residuals[r] = w.Residuals[r + 1];
        if (!std::isfinite(residuals[r])) return false;
        for (std::size_t j = 0; j < n; ++j) {
          jacobians[0][r * n + j] = w.Jacobian[r + 1][j + 1];
          if (!std::isfinite(jacobians[0][r * n + j])) return false;
        }
      }
      return true;
    }
    // The line search and the step's own test evaluate the same point one after the other.
    if (!(lastX_.size() == n && std::equal(lastX_.begin(), lastX_.end(), x[0]))) {
      lastX_.clear();
      if (problem_.Solve(p) != SolveResult::Solved) return Failed();
      if (!problem_.Residuals(scratch_) || scratch_.size() != m) return false;
      lastX_.assign(x[0], x[0] + n);
    }
    std::copy(scratch_.begin(), scratch_.end(), residuals);
    // The computed values are the last trial's: the search solves its end point once more.
    return true;
  }

 private:
  bool Failed() const {
    if (hooks_.SolveFailed) hooks_.SolveFailed();
    return false;
  }

  FitProblem& problem_;
  const TParameterRecord& record_;
  const FreeParameters& free_;
  const LMHooks& hooks_;
  mutable JacobianColumns columns_;
  mutable std::vector<double> scratch_;
  mutable std::vector<double> lastX_;  // where scratch_ was solved, if it was

 public:
  mutable bool stopped_ = false;  // the hooks stopped the search inside a Jacobian
};

// Iterations in a row that end with the same parameters on their bounds before the pass
// holds them there: a step projected onto the box crawls along a bound.
constexpr int kPinnedIterations = 4;

class Progress final : public ceres::IterationCallback {
 public:
  Progress(TParameterRecord& record, const FreeParameters& free, const std::vector<double>& x,
           const std::vector<double>& lower, const std::vector<double>& upper,
           const LMHooks& hooks, LMOutcome& outcome)
      : record_(record), free_(free), x_(x), lower_(lower), upper_(upper), hooks_(hooks),
        outcome_(outcome) {}
  ceres::CallbackReturnType operator()(const ceres::IterationSummary& s) override {
    // x holds the point the search stands on: the last accepted one.
    free_.Natural(x_.data(), record_.Value);
    const bool improved = s.iteration > 0 && s.step_is_successful;
    if (s.iteration > 0) ++outcome_.Iterations;
    if (improved) ++outcome_.Successful;
    const bool go = !hooks_.Iteration || hooks_.Iteration(improved, 2 * s.cost);
    if (!go) return ceres::SOLVER_ABORT;
    if (improved) {
      std::vector<int> on;
      for (std::size_t j = 0; j < x_.size(); ++j)
        if (x_[j] <= lower_[j] || x_[j] >= upper_[j]) on.push_back(free_.Index[j]);
      pinnedFor_ = !on.empty() && on.size() < x_.size() && on == pinned_ ? pinnedFor_ + 1 : 1;
      pinned_ = std::move(on);
      if (pinnedFor_ >= kPinnedIterations) {
        Pinned = pinned_;
        return ceres::SOLVER_TERMINATE_SUCCESSFULLY;
      }
    }
    return ceres::SOLVER_CONTINUE;
  }

  std::vector<int> Pinned;  // set when the pass ended on a crawl along these parameters' bounds

 private:
  TParameterRecord& record_;
  const FreeParameters& free_;
  const std::vector<double>& x_;
  const std::vector<double>& lower_;
  const std::vector<double>& upper_;
  const LMHooks& hooks_;
  LMOutcome& outcome_;
  std::vector<int> pinned_;
  int pinnedFor_ = 0;
};

}  // namespace

bool LMCanFit(TObjectiveKind kind) { return kind != TObjectiveKind::BoxDraper; }

namespace {

// One Ceres run over the parameters `free` from their Value; the others stay where they are.
// A run that ended crawling along bounds says whose.
ceres::Solver::Summary Pass(FitProblem& problem, TParameterRecord& record,
                            const std::vector<int>& freeIndex, int maxIterations,
                            const LMTolerances& tolerances, const LMHooks& hooks,
                            LMOutcome& outcome) {
  FreeParameters free{freeIndex, {}};
  std::vector<double> x;
  for (int i : freeIndex) {
    free.Scale.push_back(EffectiveScale(record, i));
    x.push_back(ToScaled(free.Scale.back(), record.Value[i]));
  }
  ceres::Problem::Options problemOptions;
  problemOptions.cost_function_ownership = ceres::DO_NOT_TAKE_OWNERSHIP;
  ceres::Problem lm(problemOptions);
  ResidualCost cost(problem, record, free, hooks);
  lm.AddResidualBlock(&cost, nullptr, x.data());
  std::vector<double> lower, upper;
  for (std::size_t j = 0; j < freeIndex.size(); ++j) {
    const int i = freeIndex[j];
    lower.push_back(ToScaled(free.Scale[j], record.MinBound[i]));
    upper.push_back(ToScaled(free.Scale[j], record.MaxBound[i]));
    lm.SetParameterLowerBound(x.data(), static_cast<int>(j), lower.back());
    lm.SetParameterUpperBound(x.data(), static_cast<int>(j), upper.back());
  }
  Progress progress(record, free, x, lower, upper, hooks, outcome);
  ceres::Solver::Options options;
  options.trust_region_strategy_type = ceres::LEVENBERG_MARQUARDT;
  options.linear_solver_type = ceres::DENSE_QR;
  options.max_num_iterations = maxIterations;
  options.function_tolerance = tolerances.Function;
  options.parameter_tolerance = tolerances.Parameter;
  // Ceres' gradient test is absolute; relative to the start's objective it means the same
  // whatever the scale of the data.
  double start = 0;
  {
    std::vector<double> r;
    if (problem.Solve(record.Value) == SolveResult::Solved && problem.Residuals(r))
      for (double v : r) start += v * v;
  }
  options.gradient_tolerance = tolerances.Gradient * std::max(start, DBL_MIN);
  // With bounds Ceres measures the gradient projected on the box, never more than the box is
  // wide: from a start of a huge objective the relative test would pass at once, miles from
  // any minimum. A box narrower than that measure bounds it to a millionth of its width.
  double narrowest = HUGE_VAL;
  for (std::size_t j = 0; j < freeIndex.size(); ++j) {
    const double lo = lm.GetParameterLowerBound(x.data(), static_cast<int>(j));
    const double hi = lm.GetParameterUpperBound(x.data(), static_cast<int>(j));
    if (std::isfinite(lo) && std::isfinite(hi) && hi > lo) narrowest = std::min(narrowest, hi - lo);
  }
  options.gradient_tolerance = std::min(options.gradient_tolerance, 1e-6 * narrowest);
  options.num_threads = 1;
  // The projected line search that keeps steps inside the bounds backtracks on the cost
  // alone: its cubic interpolation asks for the gradient, a whole Jacobian of solutions, at
  // every trial point.
  options.line_search_interpolation_type = ceres::BISECTION;
  options.logging_type = ceres::SILENT;
  options.update_state_every_iteration = true;
  options.callbacks.push_back(&progress);
  ceres::Solver::Summary summary;
  ceres::Solve(options, &lm, &summary);
  // Stopped inside a Jacobian: as if between two iterations.
  if (cost.stopped_) summary.termination_type = ceres::USER_FAILURE;
  // A run that was stopped or failed gets its start back from Ceres: Value keeps the last
  // point an iteration stood on.
  if (summary.termination_type != ceres::USER_FAILURE && summary.termination_type != ceres::FAILURE) {
    free.Natural(x.data(), record.Value);
    // On a bound exactly, not where the scale's round trip puts it.
    for (std::size_t j = 0; j < freeIndex.size(); ++j) {
      const int i = freeIndex[j];
      if (x[j] <= lower[j]) record.Value[i] = record.MinBound[i];
      if (x[j] >= upper[j]) record.Value[i] = record.MaxBound[i];
    }
  }
  if (const std::vector<int>& pinned = progress.Pinned; !pinned.empty()) {
    std::string which;
    for (int i : pinned) which += (which.empty() ? "" : ", ") + std::to_string(i);
    summary.message = "Converged with parameter" + std::string(pinned.size() > 1 ? "s " : " ") +
                      which + " on " + (pinned.size() > 1 ? "their bounds." : "its bound.");
  }
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

// After a run that converged by the tolerances: the share of the sum of squares that a
// Gauss-Newton step over the parameters free to move (inside their bounds, or on one with the
// descent pointing inwards), kept inside the bounds, actually takes off. Tried rather than
// predicted, and only a step that moves a parameter by more than kStalledMove of its value
// counts: near an exact fit the residuals are the integrator's noise, which a step of the
// size of that noise removes. 0 when nothing can be judged or gained.
double RemainingDecrease(FitProblem& problem, const TParameterRecord& record,
                         const std::vector<int>& free) {
  JacobianColumns all = JacobianColumnsOf(record);
  all.Params = free;
  ScaleColumns(all, record, record.Value);
  const Quiet quiet(problem);
  if (!problem.ResidualJacobian(record.Value, all)) return 0;
  const JacobianWork& w = problem.Work();
  const int m = w.ResidualCount;
  long double squares = 0;
  for (int r = 1; r <= m; ++r) squares += static_cast<long double>(w.Residuals[r]) * w.Residuals[r];
  JacobianColumns moving = all;
  moving.Params.clear();
  for (std::size_t j = 0; j < free.size(); ++j) {
    long double g = 0;  // d(SS/2)/dp
    for (int r = 1; r <= m; ++r) g += static_cast<long double>(w.Jacobian[r][j + 1]) * w.Residuals[r];
    const int i = free[j];
    const bool pinned = (record.Value[i] <= record.MinBound[i] && g >= 0) ||
                        (record.Value[i] >= record.MaxBound[i] && g <= 0);
    if (!pinned) moving.Params.push_back(i);
  }
  ScaleColumns(moving, record, record.Value);
  T20Vector delta{};
  if (!(squares > 0) || moving.Params.empty() ||
      !problem.GaussNewtonCorrection(record.Value, moving, delta))
    return 0;
  T20Vector trial = record.Value;
  bool moves = false;
  for (std::size_t j = 0; j < moving.Params.size(); ++j) {
    const int i = moving.Params[j];
    const TScale scale = EffectiveScale(record, i);
    trial[i] = ToNatural(scale, std::clamp(ToScaled(scale, trial[i]) + delta[j + 1],
                                           ToScaled(scale, record.MinBound[i]),
                                           ToScaled(scale, record.MaxBound[i])));
    const double size = record.Value[i] != 0 ? std::fabs(record.Value[i]) : 1.0;
    moves = moves || std::fabs(trial[i] - record.Value[i]) > kStalledMove * size;
  }
  if (!moves) return 0;
  std::vector<double> r;
  if (problem.Solve(trial) != SolveResult::Solved || !problem.Residuals(r)) return 0;
  long double after = 0;
  for (double v : r) after += static_cast<long double>(v) * v;
  return after < squares ? static_cast<double>((squares - after) / squares) : 0;
}

}  // namespace

LMOutcome RunLM(FitProblem& problem, TParameterRecord& record, int maxIterations,
                const LMTolerances& tolerances, const LMHooks& hooks) {
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
  // Steps projected onto the box crawl along a bound: once a pass converged with parameters
  // on their bounds, or went on crawling along them, those are held there while the rest
  // converge, then all are let go once more (a parameter whose optimum lies inside moves off
  // again). A pass that lets all go and crawls along the same bounds again has found the
  // optimum on them.
  std::vector<int> held;  // by the last holding pass
  bool holding = false;
  ceres::Solver::Summary summary =
      Pass(problem, record, free, maxIterations, tolerances, hooks, outcome);
  const auto ended = [&summary] {
    return summary.termination_type == ceres::CONVERGENCE ||
           summary.termination_type == ceres::USER_SUCCESS;
  };
  for (int round = 0; round < 2 * kLMRestarts && ended(); ++round) {
    const int left = maxIterations - outcome.Iterations;
    if (left <= 0) break;
    std::vector<int> active = free;
    if (!holding) {
      std::vector<int> on;
      for (int i : free)
        if (record.Value[i] <= record.MinBound[i] || record.Value[i] >= record.MaxBound[i])
          on.push_back(i);
      if (on.empty() || on.size() == free.size() || on == held) break;
      held = std::move(on);
      std::erase_if(active, [&](int i) { return std::binary_search(held.begin(), held.end(), i); });
    }
    holding = !holding;
    summary = Pass(problem, record, active, left, tolerances, hooks, outcome);
  }
  // The release pass ended on the bounds' crawl: that is its optimum, not an early stop.
  if (summary.termination_type == ceres::USER_SUCCESS) summary.termination_type = ceres::CONVERGENCE;
  // Ceres' tests look at one step: a short step after rejected ones meets them on a crawl.
  // While a Gauss-Newton step still promises more than the tolerance, a fresh trust region
  // goes on from where the run ended.
  double left = 0;
  for (int restart = 0; summary.termination_type == ceres::CONVERGENCE; ++restart) {
    left = RemainingDecrease(problem, record, free);
    const int iterationsLeft = maxIterations - outcome.Iterations;
    if (restart == kLMRestarts || left <= tolerances.Function || iterationsLeft <= 0) break;
    summary = Pass(problem, record, free, iterationsLeft, tolerances, hooks, outcome);
  }
  outcome.Message = summary.message;
  outcome.Reason = EndOf(summary.termination_type);
  if (outcome.Reason == SearchEnd::Converged) {
    // Tolerances met where the model still promises a step beyond them are no optimum: it is
    // said.
    if (left > std::max(kStalledDecrease, tolerances.Function)) {
      outcome.Reason = SearchEnd::Stalled;
      outcome.Message += " A Gauss-Newton step would still lower the objective by " +
                         FormatGeneral(100 * left, 3) + " %.";
    }
  }
  return outcome;
}

SearchSummary LMSearch(Search& s, const SearchOptions& options) {
  FitResult& r = s.State.Result;
  if (!LMCanFit(s.Problem.ObjectiveKind)) {
    s.Loop.Tell(Severity::Error, msg::kLMNeedsSquares);
    return s.NotRun();
  }
  const int iterations = options.Calls > 0 ? static_cast<int>(options.Calls) : kLMDefaultIterations;
  int done = 0;
  s.OwnEnd = SearchEnd::InitialSolveFailed;  // until the start is solved
  SearchOptions run = options;
  run.Calls = run.Stall = 0;  // the search ends by its own tests
  // The whole search is one step of the stop loop, which it serves every iteration.
  s.Start(kLMSearch, run, [&] {
    if (!s.InitialEvaluation()) return;
    SearchState& st = s.State;
    TParameterRecord& p = s.Table;
    // A start outside the bounds is moved inside: the objective belongs to the start used.
    const T20Vector start = p.Value;
    LMHooks hooks;
    hooks.SolveFailed = [&s] { s.CountFailedTrial(); };
    hooks.Serve = [&s] {
      s.Loop.Serve();
      return s.Loop.Mode() != kIdle;
    };
    hooks.Iteration = [&s, &st](bool improved, double objective) {
      ++st.TotalCalls;
      if (improved && objective < st.BestObjective) {
        s.ShowObjective(objective);
        ++st.SuccessfulCalls;
        s.Loop.Changed(FitChange::Values);
      }
      s.Loop.Serve();
      return s.Loop.Mode() != kIdle;
    };
    const LMOutcome outcome = RunLM(s.Problem, p, iterations, options.Tolerances, hooks);
    for (const auto& [i, value] : outcome.MovedInside)
      s.Loop.Tell(Severity::Note, FillPlaceholders(msg::kLMMovedInside,
                                                   {std::to_string(i), FormatGeneral(value, 8)}));
    s.OwnEnd = outcome.Reason;
    done = outcome.Iterations;
    if (outcome.Reason != SearchEnd::Stopped)
      r.Message = FillPlaceholders(msg::kLMEnded, {SearchEndName(outcome.Reason), outcome.Message});
    // The best objective, exactly as the other searches compute it, at the point the search
    // ended on.
    if (s.Solve(p.Value) == SolveResult::Solved) {
      const double objective = s.Problem.Objective();
      if (objective != st.BestObjective || p.Value != start) s.ShowObjective(objective);
    } else {
      st.ObjectiveReady = false;
    }
    s.Loop.Changed(FitChange::Values);
    EndOperation(s.Loop.Mode());
  });
  r.Fit.Reason = s.OwnEnd;
  r.Fit.Trials = done;
  if (!r.Message.empty()) s.Loop.Tell(Severity::Note, r.Message);
  return r.Fit;
}

}  // namespace zelk
