#include "estimation/estimation_session.h"

#include "base/format.h"
#include "base/messages.h"
#include "estimation/searches.h"

namespace zelk {

double EstimationSession::EvaluateObjective() {
  return Objective(ObjectiveFunc, host_.MeasuredResponses(), ResponseSS);
}

void EstimationSession::SetObjectiveFunc(TObjectiveKind kind) {
  ObjectiveFunc = kind;
  ObjectiveReady = false;
  LimitReady = false;
  host_.FlowChanged();
}

void EstimationSession::ShowObjective(double value) {
  BestObjective = value;
  host_.BestChanged();
  LimitReady = false;
  ResetFLimits(parameters_);
  FlowObjectiveText = FormatGeneral(value, 15);
  FlowTotalText = std::to_string(TotalCalls);
  FlowSuccessfulText = std::to_string(SuccessfulCalls);
  host_.FlowChanged();
}

EarlyStop EstimationSession::SearchEarlyStop() const {
  // Only a sum of squares grows event by event, and only a current best bounds it.
  if (ObjectiveFunc != TObjectiveKind::SumOfSquares || !ObjectiveReady) return {};
  return {EarlyStop::Rule::Abandon, BestObjective};
}

bool EstimationSession::InitialEvaluation() {
  if (ObjectiveReady) return true;
  if (host_.SolveMeasured(parameters_.Value, {}) != SolveResult::Solved) {
    host_.ShowError(msg::kInitialSolveFailed);
    EndOperation(host_.Mode());
    return false;
  }
  ShowObjective(EvaluateObjective());
  ObjectiveReady = true;
  return true;
}

void EstimationSession::CountFailedTrial() {
  ++FailedSolves;
  host_.ReportFailure(std::string(msg::kSolveFailed) + " [" + std::to_string(FailedSolves) + "]");
}

bool EstimationSession::SolveTrial() { return SolveTrialWith(SearchEarlyStop()); }

bool EstimationSession::SolveTrialWith(EarlyStop stop) {
  const SolveResult result = host_.SolveMeasured(parameters_.TrialValue, stop);
  if (result == SolveResult::Abandoned) {
    ++AbandonedSolves;
    return false;  // TrialObjective holds the partial sum, already above the best
  }
  if (IsFailure(result)) CountFailedTrial();
  TrialObjective = EvaluateObjective();
  // A faulting model leaves the values of an earlier solution behind: never a winner.
  return result == SolveResult::Solved || result == SolveResult::PrecisionNotReached;
}

void EstimationSession::OptimizeStep() {
  if (!InitialEvaluation()) return;
  RandomDirectionTrial(parameters_, TotalCalls, SuccessfulCalls);
  if (SolveTrial() && TrialObjective < BestObjective) {
    parameters_.Value = parameters_.TrialValue;
    ShowObjective(TrialObjective);
    ++SuccessfulCalls;
    host_.ValuesChanged();
  }
  ++TotalCalls;
}

void EstimationSession::RegionStep(bool adaptive) {
  const bool fresh = !ObjectiveReady;
  if (!InitialEvaluation()) return;
  if (fresh) SearchBestObjective = BestObjective;
  RegionTrial(parameters_);
  if (SolveTrial() && TrialObjective < SearchBestObjective) {
    parameters_.SearchBest = parameters_.TrialValue;
    SearchBestObjective = TrialObjective;
    if (adaptive) AddRegionWeights(parameters_);
  }
  if (TotalCalls % kRegionBlockCalls == 0) {
    if (BestObjective > SearchBestObjective) {
      ShowObjective(SearchBestObjective);
      parameters_.Value = parameters_.SearchBest;
      ResetFLimits(parameters_);
      host_.ValuesChanged();
    }
    ++SuccessfulCalls;
    if (adaptive)
      ShrinkRegionsByWeight(parameters_);
    else
      ShrinkRegions(parameters_);
  }
  ++TotalCalls;
}

void EstimationSession::GNStep() {
  if (!InitialEvaluation()) return;
  T20Vector delta{};
  if (!host_.GaussNewtonCorrection(parameters_.Value, parameters_.Count, delta)) return;
  if (host_.Mode() == kIdle) return;
  for (double factor = 1.0; factor >= kGNSmallestFactor; factor /= 2) {
    for (int i = 1; i <= parameters_.Count; ++i)
      parameters_.TrialValue[i] = parameters_.Value[i] + factor * delta[i];
    const SolveResult result = host_.SolveMeasured(parameters_.TrialValue, {});
    if (result != SolveResult::Solved) {
      CountFailedTrial();
      continue;
    }
    TrialObjective = EvaluateObjective();
    const bool better = TrialObjective < BestObjective;
    if (better) {
      parameters_.Value = parameters_.TrialValue;
      ShowObjective(TrialObjective);
      ++SuccessfulCalls;
      host_.ValuesChanged();
    }
    ++TotalCalls;
    if (better) return;
  }
}

SearchSummary EstimationSession::RunSearch(const SearchOptions& options) {
  const int failedBefore = FailedSolves, abandonedBefore = AbandonedSolves;
  SearchStopRule rule(options);
  std::uint8_t& mode = host_.Mode();
  host_.RunSteps(options.Search, [&] {
    switch (mode) {
      case kRandomSearch:
        OptimizeStep();
        break;
      case kLJSearch:
        RegionStep(false);
        break;
      case kWLSearch:
        RegionStep(true);
        break;
      case kGaussNewton:
        GNStep();
        break;
      case kFLimitSearch:
        ProfileStep();
        break;
      case kDesign:
        DesignStep();
        break;
      default:
        host_.ShowError(msg::kNotImplemented);
        EndOperation(mode);
        return;
    }
    // A step that ended its search by its own rule still made its trial; one whose start
    // could not be solved made none.
    const bool ended = mode == kIdle;
    if (ended && !ObjectiveReady && options.Search != kDesign) return;
    if (rule.AfterTrial(BestObjective) && !ended) EndOperation(mode);
  });
  SearchSummary summary;
  summary.Reason = rule.Reason();
  // The design evaluates no objective: only the searches can fail at their start.
  if (summary.Reason == SearchEnd::Stopped && !ObjectiveReady && options.Search != kDesign)
    summary.Reason = SearchEnd::InitialSolveFailed;
  summary.Trials = rule.Trials();
  summary.FailedCalls = FailedSolves - failedBefore;
  summary.AbandonedCalls = AbandonedSolves - abandonedBefore;
  summary.Objective = BestObjective;
  summary.Values = parameters_.Value;
  return summary;
}

bool EstimationSession::ComputeStdErrors() {
  bool singular = false;
  const TModel* model = host_.NormalInverse(parameters_.Value, parameters_.Count, singular);
  std::string error;
  if (model && singular) {
    error = msg::kNormalMatrixSingular;
  } else if (model) {
    TResponseSums scratch{};
    const double objective = Objective(ObjectiveFunc, host_.MeasuredResponses(), scratch);
    error = ComputeStatistics(model->NormalInverse, parameters_.Count, objective,
                              model->ResidualCount, Statistics);
  }
  const bool ok = model && error.empty();
  for (int i = 1; i <= kMaxParams; ++i) parameters_.StdErrValid[i] = ok && i <= parameters_.Count;
  if (!ok) {
    Statistics = {};
    if (!error.empty()) host_.ShowError(error);
  }
  return ok;
}

void EstimationSession::StdErr() {
  host_.ShowProgress(true);
  if (ComputeStdErrors()) parameters_.StdError = Statistics.StdError;
  host_.ShowProgress(false);
  host_.StdErrorsChanged();
}

void EstimationSession::CovariancesAction() {
  host_.ShowProgress(true);
  const bool ok = ComputeStdErrors();
  host_.ShowProgress(false);
  if (ok) host_.CovariancesChanged();
}

SearchSummary EstimationSession::Start(TOperation search, const SearchOptions& options) {
  // Every search records where it started: the report's initial estimates.
  parameters_.InitialValue = parameters_.Value;
  host_.ShowFlowPage();
  SearchOptions run = options;
  run.Search = search;
  return RunSearch(run);
}

void EstimationSession::StartRegions() {
  for (int i = 1; i <= parameters_.Count; ++i) parameters_.Region[i] = parameters_.Value[i];
  // A run started while the best value is current compares with it, not with what an
  // earlier region search left (or 0, after none): otherwise no trial could ever win.
  if (ObjectiveReady) {
    SearchBestObjective = BestObjective;
    parameters_.SearchBest = parameters_.Value;
  }
}

SearchSummary EstimationSession::Optimize(const SearchOptions& options) {
  return Start(kRandomSearch, options);
}

SearchSummary EstimationSession::OptimizeLJ(const SearchOptions& options) {
  StartRegions();
  return Start(kLJSearch, options);
}

SearchSummary EstimationSession::OptimizeWL(const SearchOptions& options) {
  StartRegions();
  for (int i = 1; i <= parameters_.Count; ++i) parameters_.RegionWeight[i] = 0;
  parameters_.SpareA = parameters_.SpareB = parameters_.Value;
  return Start(kWLSearch, options);
}

SearchSummary EstimationSession::OptimizeGN(const SearchOptions& options) {
  SearchOptions run = options;
  if (run.Stall == 0) run.Stall = 1;
  const SearchSummary summary = Start(kGaussNewton, run);
  if (summary.Reason == SearchEnd::Stall) host_.AddMessage(msg::kGNConverged);
  return summary;
}

void EstimationSession::ChooseOptimizeButtonSearch(TOperation search) {
  OptimizeButtonSearch = search;
  host_.FlowChanged();
  OptimizeButtonClick();
}

void EstimationSession::OptimizeButtonClick() {
  if (OptimizeButtonSearch == kLJSearch)
    OptimizeLJ({});
  else if (OptimizeButtonSearch == kGaussNewton)
    OptimizeGN({});
  else if (OptimizeButtonSearch == kWLSearch)
    OptimizeWL({});
  else
    Optimize({});
}

}  // namespace zelk
