#include "estimation/search.h"

#include <cmath>

#include "base/messages.h"

namespace zelk {

void Search::End(SearchEnd why) {
  OwnEnd = why;
  EndOperation(Loop.Mode());
}

void Search::ShowObjective(double value) {
  State.BestObjective = value;
  FitResult& r = State.Result;
  if (RecordingProgress)
    r.Progress.emplace_back(static_cast<double>(Problem.Stats.Solutions - r.ProgressBase), value);
  Loop.Changed(FitChange::Best);
  State.LimitReady = false;
  ResetFLimits(Table);
  r.Profiles.clear();  // drawn against the threshold of the old best
  r.LowerSides.clear();
  r.UpperSides.clear();
  Loop.Changed(FitChange::Flow);
}

EarlyStop Search::EarlyStopAtBest() const {
  // Only a sum of squares grows event by event, and only a current best bounds it.
  if (Problem.ObjectiveKind != TObjectiveKind::SumOfSquares || !State.ObjectiveReady) return {};
  return {EarlyStop::Rule::Abandon, State.BestObjective};
}

bool Search::InitialEvaluation() {
  if (State.ObjectiveReady) return true;
  if (Solve(Table.Value, {}) != SolveResult::Solved) {
    Loop.Tell(Severity::Error, msg::kInitialSolveFailed);
    EndOperation(Loop.Mode());
    return false;
  }
  ShowObjective(Problem.Objective());
  State.ObjectiveReady = true;
  if (std::isnan(State.Result.InitialObjective)) State.Result.InitialObjective = State.BestObjective;
  return true;
}

void Search::CountFailedTrial() {
  ++State.FailedSolves;
  if (Problem.Prefs().ShowIntegrationErrors)
    Loop.Tell(Severity::Note,
              std::string(msg::kSolveFailed) + " [" + std::to_string(State.FailedSolves) + "]");
}

SolveResult Search::Solve(const T20Vector& parameters, EarlyStop stop) {
  const SolveResult result = Problem.Solve(parameters, stop);
  if (result == SolveResult::NoLibrary) EndOperation(Loop.Mode());
  return result;
}

bool Search::SolveTrialWith(EarlyStop stop) {
  const SolveResult result = Solve(Table.TrialValue, stop);
  if (result == SolveResult::Abandoned) {
    ++State.AbandonedSolves;
    State.TrialObjective = Problem.PartialSum();  // already above the best
    return false;
  }
  if (IsFailure(result)) CountFailedTrial();
  State.TrialObjective = Problem.Objective();
  // A faulting model leaves the values of an earlier solution behind: never a winner.
  return result == SolveResult::Solved || result == SolveResult::PrecisionNotReached;
}

SearchSummary Search::NotRun() const {
  SearchSummary summary;
  summary.Reason = SearchEnd::InitialSolveFailed;
  summary.Objective = State.BestObjective;
  summary.Values = Table.Value;
  return summary;
}

SearchSummary Search::RunSteps(const SearchOptions& options, const std::function<void()>& step) {
  const int failedBefore = State.FailedSolves, abandonedBefore = State.AbandonedSolves;
  SearchStopRule rule(options);
  std::uint8_t& mode = Loop.Mode();
  Loop.RunSteps(options.Search, [&] {
    step();
    // A step that ended its search by its own rule still made its trial; one whose start
    // could not be solved made none.
    const bool ended = mode == kIdle;
    if (ended && !State.ObjectiveReady && options.Search != kDesign) return;
    if (rule.AfterTrial(State.BestObjective) && !ended) EndOperation(mode);
  });
  // Whatever the last trial left, the computed values are those of the estimates again: the
  // report's residuals and the statistics read them.
  if (State.ObjectiveReady && !Problem.Model().LibFileName.empty()) Problem.Solve(Table.Value);
  SearchSummary summary;
  summary.Reason = rule.Reason();
  // The design evaluates no objective: only the searches can fail at their start.
  if (summary.Reason == SearchEnd::Stopped && !State.ObjectiveReady && options.Search != kDesign)
    summary.Reason = SearchEnd::InitialSolveFailed;
  summary.Trials = rule.Trials();
  summary.FailedCalls = State.FailedSolves - failedBefore;
  summary.AbandonedCalls = State.AbandonedSolves - abandonedBefore;
  summary.Objective = State.BestObjective;
  summary.Values = Table.Value;
  return summary;
}

SearchSummary Search::Start(TOperation search, const SearchOptions& options,
                            const std::function<void()>& step) {
  FitResult& r = State.Result;
  // Every search records where it started: the report's initial estimates.
  Table.InitialValue = Table.Value;
  Loop.Changed(FitChange::FlowStarted);
  r.Search = search;
  r.Message.clear();
  // Not known yet: the first step evaluates the start.
  r.InitialObjective = State.ObjectiveReady ? State.BestObjective : std::nan("");
  SearchOptions run = options;
  run.Search = search;
  r.Progress.clear();
  r.Starts.clear();  // the Flow page shows this search's progress, not the last multi-start
  r.ProgressBase = Problem.Stats.Solutions;
  if (State.ObjectiveReady) r.Progress.emplace_back(0, State.BestObjective);
  RecordingProgress = true;
  r.Fit = RunSteps(run, step);
  RecordingProgress = false;
  // The curve runs on to the run's end, where no better value was found.
  if (!r.Progress.empty())
    r.Progress.emplace_back(static_cast<double>(Problem.Stats.Solutions - r.ProgressBase),
                            State.BestObjective);
  r.TotalCalls = State.TotalCalls;
  r.SuccessfulCalls = State.SuccessfulCalls;
  return r.Fit;
}

}  // namespace zelk
