#include "estimation/fit.h"

#include <sstream>

#include "base/format.h"
#include "base/messages.h"

namespace zelk {

namespace {

// The stop loop of a fit: steps until the search ends or the observer says stop; what the
// session says and finds goes to the observer.
class ObserverLoop final : public RunLoop {
 public:
  ObserverLoop(FitObserver& observer, const TParameterRecord& table)
      : observer_(observer), table_(table) {}
  const EstimationSession* Session = nullptr;

  void RunSteps(TOperation mode, const std::function<void()>& step) override {
    mode_ = mode;
    do {
      step();
      if (mode_ != kIdle && !observer_.Continue()) mode_ = kIdle;
    } while (mode_ != kIdle);
  }
  std::uint8_t& Mode() override { return mode_; }
  void Changed(FitChange what) override {
    if (what == FitChange::Best && Session) observer_.Improved(Session->BestObjective, table_.Value);
  }
  void Serve() override {
    if (mode_ != kIdle && !observer_.Continue()) mode_ = kIdle;
  }
  void Tell(Severity severity, const std::string& text) override { observer_.Note(severity, text); }

 private:
  FitObserver& observer_;
  const TParameterRecord& table_;
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


// A session of its own on the observer's loop, for one call.
struct ObservedSession {
  ObservedSession(const FitOptions& options, FitProblem& problem, TParameterRecord& table,
                  FitObserver& observer)
      : loop(observer, table), session(problem, table, loop) {
    problem.ObjectiveKind = options.Objective;
    loop.Session = &session;
    run.Search = options.Search;
    run.Calls = options.Calls;
    run.Stall = options.Stall;
    run.Tolerances = options.Tolerances;
  }
  ObserverLoop loop;
  EstimationSession session;
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
  ObservedSession fit(options, problem, table, observer);
  EstimationSession& session = fit.session;
  const SearchSummary s = (session.*kind->Run)(fit.run);
  summary.Reason = s.Reason;
  summary.Message = session.Result.Message;
  summary.Trials = s.Trials;
  summary.FailedCalls = s.FailedCalls;
  summary.AbandonedCalls = s.AbandonedCalls;
  summary.TotalCalls = session.Result.TotalCalls;
  summary.SuccessfulCalls = session.Result.SuccessfulCalls;
  summary.InitialObjective = session.Result.InitialObjective;
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
  ObservedSession limits(options, problem, table, observer);
  EstimationSession& session = limits.session;
  LimitsSummary summary;
  summary.Clean = session.AllFLimits(limits.run);
  summary.Threshold = session.LimitObjective;
  summary.F = session.LimitF;
  record.LimitSides = session.Result.LimitSides;
  record.LowerSides = session.Result.LowerSides;
  record.UpperSides = session.Result.UpperSides;
  record.Profiles = session.Result.Profiles;
  return summary;
}

SearchSummary Design(int count, double min, double max, const FitOptions& options,
                     FitProblem& problem, TParameterRecord& table, FitObserver& observer,
                     FitResult& record) {
  ObservedSession design(options, problem, table, observer);
  EstimationSession& session = design.session;
  record.Design = session.DesignNextPoints(count, min, max, design.run);
  record.DesignPoints = session.Result.DesignPoints;
  record.DesignDeterminant = session.Result.DesignDeterminant;
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
  if (!problem.NormalInverse(table.Value, JacobianColumnsOf(table), singular))
    return singular ? msg::kNormalMatrixSingular : kJacobianFailed;
  return ComputeStatistics(problem.Work().NormalInverse, table.Count, problem.Objective(),
                           problem.Work().ResidualCount, out);
}

const std::vector<SearchKind>& Searches() {
  static const std::vector<SearchKind> searches = {
      {kRandomSearch, "optimize", "Optimize", &EstimationSession::Optimize},
      {kLJSearch, "lj", "Optimize LJ", &EstimationSession::OptimizeLJ},
      {kWLSearch, "wl", "Optimize WL", &EstimationSession::OptimizeWL},
      {kGaussNewton, "gn", "Optimize GN", &EstimationSession::OptimizeGN},
      {kLMSearch, "lm", "Optimize LM", &EstimationSession::OptimizeLM},
  };
  return searches;
}

const SearchKind* FindSearch(TOperation search) {
  for (const SearchKind& kind : Searches())
    if (kind.Search == search) return &kind;
  return nullptr;
}

const SearchKind* FindSearch(const std::string& key) {
  for (const SearchKind& kind : Searches())
    if (key == kind.Key) return &kind;
  return nullptr;
}

}  // namespace zelk
