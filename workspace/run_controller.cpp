#include "workspace/run_controller.h"

#include "base/messages.h"
#include "estimation/fit.h"

namespace zelk {

namespace {

constexpr int kLowerColumn = 5, kUpperColumn = 6;

}  // namespace

void RunController::Forget() {
  BestObjective = 0;
  ObjectiveReady = LimitReady = false;
  TotalCalls = SuccessfulCalls = 1;
  Result.Progress.clear();
  Result.ProfileProgress.clear();
  Result.Profiles.clear();
  ground_.Loop.Changed(FitChange::Flow);
}

void RunController::SetObjectiveFunc(TObjectiveKind kind) {
  ground_.Problem.ObjectiveKind = kind;
  ObjectiveReady = false;
  LimitReady = false;
  ground_.Loop.Changed(FitChange::Flow);
}

bool RunController::ComputeStdErrors() {
  TParameterRecord& table = ground_.Table;
  const std::string error = Statistics(ground_.Problem, table, Result.Statistics);
  const bool ok = error.empty();
  for (int i = 1; i <= kMaxParams; ++i) table.StdErrValid[i] = ok && i <= table.Count;
  if (!ok) {
    Result.Statistics = {};
    // A Jacobian that failed was said by the problem itself.
    if (error != kJacobianFailed) ground_.Loop.Tell(Severity::Error, error);
  }
  return ok;
}

void RunController::StdErr() {
  RunLoop& loop = ground_.Loop;
  loop.Changed(FitChange::Busy);
  if (ComputeStdErrors()) ground_.Table.StdError = Result.Statistics.StdError;
  loop.Changed(FitChange::Idle);
  loop.Changed(FitChange::StdErrors);
}

void RunController::CovariancesAction() {
  RunLoop& loop = ground_.Loop;
  loop.Changed(FitChange::Busy);
  const bool ok = ComputeStdErrors();
  loop.Changed(FitChange::Idle);
  if (ok) loop.Changed(FitChange::Covariances);
}

bool RunController::FLimit(int col, int row, const SearchOptions& options) {
  RunLoop& loop = ground_.Loop;
  loop.Changed(FitChange::FLimitsStarted);
  if (row < 1 || row > ground_.Table.Count || (col != kLowerColumn && col != kUpperColumn)) {
    loop.Tell(Severity::Error, msg::kLimitCellRequired);
    return false;
  }
  Result.LimitSides = {FLimitSide(ground_, row, col == kLowerColumn, options)};
  const SearchEnd end = Result.LimitSides.back().Reason;
  // A search that could not run, or whose probe failed, has said so: no success after it.
  if (end == SearchEnd::InitialSolveFailed || end == SearchEnd::SolveFailed) return false;
  if (!loop.Closing()) TellLimitsDone(ground_);
  return true;
}

void RunController::ChooseOptimizeButtonSearch(TOperation search) {
  OptimizeButtonSearch = search;
  ground_.Loop.Changed(FitChange::Flow);
  OptimizeButtonClick();
}

void RunController::OptimizeButtonClick() {
  const SearchKind* kind = FindSearch(OptimizeButtonSearch);
  if (!kind) kind = &Searches().front();
  SearchOptions options;
  options.Search = kind->Search;
  options.Tolerances = LMTolerancesOf(ground_.Problem.Prefs());
  kind->Run(ground_, options);
}

}  // namespace zelk
