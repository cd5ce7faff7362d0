// The optimization driver and the two searches it runs step by step: the random-direction
// search (Optimize) and the Luus-Jaakola region search (Optimize LJ).

#include "estimation/random.h"
#include "estimation/searches.h"
#include "model/operation.h"
#include "base/format.h"
#include "workspace/messages.h"
#include "workspace/workspace.h"

namespace zelk {

double Workspace::EvaluateObjective() {
  return Objective(ObjectiveFunc, MeasuredData.YData, ResponseSS);
}

void Workspace::SetObjectiveFunc(TObjectiveKind kind) {
  ObjectiveFunc = kind;
  ObjectiveReady = false;
  LimitReady = false;
  ui_.Repaint(View::Flow);
}

void Workspace::SetParameterValue(int i, double v) {
  if (i < 1 || i > kMaxParams) return;
  Parameters.Value[i] = v;
  Parameters.TrialValue[i] = v;
  ObjectiveReady = false;
  LimitReady = false;
  CurveReady = false;
  ui_.Repaint(View::FitChart);
}

void Workspace::ShowObjective(double value) {
  BestObjective = value;
  CurveReady = false;
  ui_.Repaint(View::FitChart);
  LimitReady = false;
  ResetFLimits(Parameters);
  FlowObjectiveText = FormatGeneral(value, 15);
  FlowTotalText = std::to_string(TotalCalls);
  FlowSuccessfulText = std::to_string(SuccessfulCalls);
  ui_.Repaint(View::Flow);
}

EarlyStop Workspace::SearchEarlyStop() const {
  // Only a sum of squares grows event by event, and only a current best bounds it.
  if (ObjectiveFunc != TObjectiveKind::SumOfSquares || !ObjectiveReady) return {};
  return {EarlyStop::Rule::Abandon, BestObjective};
}

bool Workspace::InitialEvaluation() {
  if (ObjectiveReady) return true;
  if (SolveModel(Parameters.Value, MeasuredData) != SolveResult::Solved) {
    ShowError(msg::kInitialSolveFailed);
    EndOperation(OperationMode);
    return false;
  }
  ShowObjective(EvaluateObjective());
  ObjectiveReady = true;
  return true;
}

bool Workspace::SolveTrial() {
  const SolveResult result = SolveModel(Parameters.TrialValue, MeasuredData, SearchEarlyStop());
  if (result == SolveResult::Abandoned) {
    ++AbandonedSolves;
    return false;  // TrialObjective holds the partial sum, already above the best
  }
  if (IsFailure(result)) {
    ++FailedSolves;
    if (Prefs.ShowIntegrationErrors)
      Log.AddMessage(std::string(msg::kSolveFailed) + " [" + std::to_string(FailedSolves) + "]");
  }
  TrialObjective = EvaluateObjective();
  // A faulting model leaves the values of an earlier solution behind: never a winner.
  return result == SolveResult::Solved || result == SolveResult::PrecisionNotReached;
}

void Workspace::ShowNewValues() {
  paramGrids_.RefreshValueColumn(RefreshRows::UpToCount);
  paramGrids_.RefreshDetails({1}, RefreshRows::UpToCount);
  ui_.Repaint(View::ParameterGrids);
}

void Workspace::OptimizeStep() {
  if (!InitialEvaluation()) return;
  RandomDirectionTrial(Parameters, TotalCalls, SuccessfulCalls);
  if (SolveTrial() && TrialObjective < BestObjective) {
    Parameters.Value = Parameters.TrialValue;
    ShowObjective(TrialObjective);
    ++SuccessfulCalls;
    ShowNewValues();
  }
  ++TotalCalls;
}

void Workspace::LJStep() {
  if (!ObjectiveReady) {
    if (SolveModel(Parameters.Value, MeasuredData) != SolveResult::Solved) {
      ShowError(msg::kInitialSolveFailed);
      EndOperation(OperationMode);
      return;
    }
    ShowObjective(EvaluateObjective());
    SearchBestObjective = EvaluateObjective();
    ObjectiveReady = true;
  }
  RegionTrial(Parameters);
  if (SolveTrial() && TrialObjective < SearchBestObjective) {
    Parameters.SearchBest = Parameters.TrialValue;
    SearchBestObjective = TrialObjective;
  }
  if (TotalCalls % kRegionBlockCalls == 0) {
    if (BestObjective > SearchBestObjective) {
      ShowObjective(SearchBestObjective);
      Parameters.Value = Parameters.SearchBest;
      ResetFLimits(Parameters);
      ShowNewValues();
    }
    ++SuccessfulCalls;
    ShrinkRegions(Parameters);
  }
  ++TotalCalls;
}

SearchSummary Workspace::RunSearch(const SearchOptions& options) {
  const int failedBefore = FailedSolves, abandonedBefore = AbandonedSolves;
  SearchStopRule rule(options);
  RunOperation(options.Search, [&] {
    switch (OperationMode) {
      case kRandomSearch:
        OptimizeStep();
        break;
      case kLJSearch:
        LJStep();
        break;
      default:
        // Gauss-Newton, WL and the limit search join here as they are built.
        ShowError(msg::kNotImplemented);
        EndOperation(OperationMode);
        return;
    }
    if (OperationMode != kIdle && rule.AfterTrial(BestObjective)) EndOperation(OperationMode);
  });
  SearchSummary summary;
  summary.Reason = rule.Reason();
  if (summary.Reason == SearchEnd::Stopped && !ObjectiveReady)
    summary.Reason = SearchEnd::InitialSolveFailed;
  summary.Trials = rule.Trials();
  summary.FailedCalls = FailedSolves - failedBefore;
  summary.AbandonedCalls = AbandonedSolves - abandonedBefore;
  summary.Objective = BestObjective;
  summary.Values = Parameters.Value;
  return summary;
}

void Workspace::RunOptimizer(std::uint8_t code) {
  SearchOptions options;
  options.Search = static_cast<TOperation>(code);
  RunSearch(options);
}

SearchSummary Workspace::Optimize(const SearchOptions& options) {
  ui_.ShowPage(Page::Flow);
  Parameters.InitialValue = Parameters.Value;
  SearchOptions random = options;
  random.Search = kRandomSearch;
  return RunSearch(random);
}

void Workspace::ChooseOptimizeButtonSearch(std::uint8_t search) {
  OptimizeButtonSearch = search;
  ui_.Repaint(View::Flow);
  OptimizeButtonClick();
}

void Workspace::OptimizeButtonClick() {
  if (OptimizeButtonSearch == kLJSearch)
    OptimizeLJAction();
  else
    OptimizeAction();
}

SearchSummary Workspace::OptimizeLJ(const SearchOptions& options) {
  ui_.ShowPage(Page::Flow);
  for (int i = 1; i <= Parameters.Count; ++i) Parameters.Region[i] = Parameters.Value[i];
  // A run started while the best value is current compares with it, not with what an
  // earlier region search left (or 0, after none): otherwise no trial could ever win.
  if (ObjectiveReady) {
    SearchBestObjective = BestObjective;
    Parameters.SearchBest = Parameters.Value;
  }
  SearchOptions lj = options;
  lj.Search = kLJSearch;
  return RunSearch(lj);
}

}  // namespace zelk
