#include "estimation/fit.h"

#include <sstream>

#include "base/format.h"
#include "base/messages.h"
#include "estimation/scales.h"

namespace zelk {

namespace {

// The stop loop of a fit: steps until the search ends or the observer says stop; what the
// search says and finds goes to the observer.
class ObserverLoop final : public RunLoop {
 public:
  ObserverLoop(FitObserver& observer, const TParameterRecord& table, const SearchState& state)
      : observer_(observer), table_(table), state_(state) {}

  void RunSteps(TOperation mode, const std::function<void()>& step) override {
    mode_ = mode;
    do {
      step();
      if (mode_ != kIdle && !observer_.Continue()) mode_ = kIdle;
    } while (mode_ != kIdle);
  }
  std::uint8_t& Mode() override { return mode_; }
  void Changed(FitChange what) override {
    if (what == FitChange::Best) observer_.Improved(state_.BestObjective, table_.Value);
  }
  void Serve() override {
    if (mode_ != kIdle && !observer_.Continue()) mode_ = kIdle;
  }
  void Tell(Severity severity, const std::string& text) override { observer_.Note(severity, text); }

 private:
  FitObserver& observer_;
  const TParameterRecord& table_;
  const SearchState& state_;
  std::uint8_t mode_ = kIdle;
};

SolverStats Difference(const SolverStats& after, const SolverStats& before) {
  SolverStats d;
  d.Solutions = after.Solutions - before.Solutions;
  d.DerivativeCalls = after.DerivativeCalls - before.DerivativeCalls;
  d.InitialCalls = after.InitialCalls - before.InitialCalls;
  d.AcceptedSteps = after.AcceptedSteps - before.AcceptedSteps;
  d.RejectedSteps = after.RejectedSteps - before.RejectedSteps;
  d.PrecisionFailures = after.PrecisionFailures - before.PrecisionFailures;
  d.SolveNanoseconds = after.SolveNanoseconds - before.SolveNanoseconds;
  return d;
}


// A search's ground of its own on the observer's loop, for one call: nothing is known yet of
// the table's values.
struct ObservedSearch {
  ObservedSearch(const FitOptions& options, FitProblem& problem, TParameterRecord& table,
                 FitObserver& observer)
      : loop(observer, table, state), search{problem, table, state, loop} {
    problem.ObjectiveKind = options.Objective;
    run.Search = options.Search;
    run.Calls = options.Calls;
    run.Stall = options.Stall;
    run.Tolerances = options.Tolerances;
  }
  SearchState state;
  ObserverLoop loop;
  Search search;
  SearchOptions run;
};

}  // namespace

FitSummary Fit(const FitOptions& options, FitProblem& problem, TParameterRecord& table,
               FitObserver& observer) {
  FitSummary summary;
  summary.Search = options.Search;
  const SearchKind* kind = FindSearch(options.Search);
  if (!kind) {
    summary.Reason = SearchEnd::InitialSolveFailed;
    summary.Message = "no such search";
    return summary;
  }
  const SolverStats before = problem.Stats;
  ObservedSearch fit(options, problem, table, observer);
  const SearchSummary s = kind->Run(fit.search, fit.run);
  const FitResult& result = fit.state.Result;
  summary.Reason = s.Reason;
  summary.Message = result.Message;
  summary.Trials = s.Trials;
  summary.FailedCalls = s.FailedCalls;
  summary.AbandonedCalls = s.AbandonedCalls;
  summary.TotalCalls = result.TotalCalls;
  summary.SuccessfulCalls = result.SuccessfulCalls;
  summary.InitialObjective = result.InitialObjective;
  summary.Objective = s.Objective;
  summary.Values = s.Values;
  summary.Stats = Difference(problem.Stats, before);
  return summary;
}

void Record(const FitSummary& summary, FitResult& record) {
  record.Search = summary.Search;
  record.Fit = {summary.Reason,    summary.Trials,    summary.FailedCalls,
                summary.AbandonedCalls, summary.Objective, summary.Values};
  record.Message = summary.Message;
  record.InitialObjective = summary.InitialObjective;
  record.TotalCalls = summary.TotalCalls;
  record.SuccessfulCalls = summary.SuccessfulCalls;
}

LimitsSummary FLimits(const FitOptions& options, FitProblem& problem, TParameterRecord& table,
                      FitObserver& observer, FitResult& record) {
  ObservedSearch limits(options, problem, table, observer);
  const SearchState& state = limits.state;
  LimitsSummary summary;
  summary.Clean = AllFLimits(limits.search, limits.run);
  summary.Threshold = state.LimitObjective;
  summary.F = state.LimitF;
  record.LimitSides = state.Result.LimitSides;
  record.LowerSides = state.Result.LowerSides;
  record.UpperSides = state.Result.UpperSides;
  record.Profiles = state.Result.Profiles;
  return summary;
}

SearchSummary Design(int count, double min, double max, const FitOptions& options,
                     FitProblem& problem, TParameterRecord& table, FitObserver& observer,
                     FitResult& record) {
  ObservedSearch design(options, problem, table, observer);
  record.Design = DesignSearch(design.search, count, min, max, design.run);
  record.DesignPoints = design.state.Result.DesignPoints;
  record.DesignDeterminant = design.state.Result.DesignDeterminant;
  return record.Design;
}

std::string FitSummary::BriefReport() const {
  std::ostringstream out;
  const SearchKind* kind = FindSearch(Search);
  out << (kind ? kind->Caption : "?") << " ended (" << SearchEndName(Reason) << ") after "
      << Trials << " trials, " << FailedCalls << " failed, " << Stats.Solutions
      << " solutions; objective " << FormatGeneral(InitialObjective, 8) << " -> "
      << FormatGeneral(Objective, 8);
  return out.str();
}

std::string Statistics(FitProblem& problem, const TParameterRecord& table, TStatistics& out) {
  out = {};
  bool singular = false;
  JacobianColumns columns = JacobianColumnsOf(table);
  ScaleColumns(columns, table, table.Value);
  if (!problem.NormalInverse(table.Value, columns, singular))
    return singular ? msg::kNormalMatrixSingular : kJacobianFailed;
  const bool likelihood = problem.ObjectiveKind == TObjectiveKind::Likelihood;
  // Under the likelihood the observations are the measured values, not LM's residuals.
  const int observations = likelihood ? static_cast<int>(LikelihoodCells(problem.Noise,
                               problem.Model().DifEqCount, problem.Measured().XData,
                               problem.Measured().YData).size())
                                      : problem.Work().ResidualCount;
  return ComputeStatistics(problem.Work().NormalInverse, table.Count, problem.Objective(),
                           observations, out, likelihood);
}

const std::vector<SearchKind>& Searches() {
  static const std::vector<SearchKind> searches = {
      {kRandomSearch, "optimize", "Optimize", RandomSearch},
      {kLJSearch, "lj", "Optimize LJ", RegionSearchLJ},
      {kWLSearch, "wl", "Optimize WL", RegionSearchWL},
      {kGaussNewton, "gn", "Optimize GN", GaussNewtonSearch},
      {kLMSearch, "lm", "Optimize LM", LMSearch},
  };
  return searches;
}

const SearchKind* FindSearch(TOperation search) {
  for (const SearchKind& kind : Searches())
    if (kind.Search == search) return &kind;
  return nullptr;
}

bool IsOptimizeSearch(std::uint8_t mode) {
  return FindSearch(static_cast<TOperation>(mode)) != nullptr;
}

const SearchKind* FindSearch(const std::string& key) {
  for (const SearchKind& kind : Searches())
    if (key == kind.Key) return &kind;
  return nullptr;
}

}  // namespace zelk
