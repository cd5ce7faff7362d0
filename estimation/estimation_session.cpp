#include "estimation/estimation_session.h"

#include <cmath>

#include "base/format.h"
#include "base/messages.h"
#include "estimation/fit.h"
#include "estimation/lm_search.h"
#include "estimation/searches.h"

namespace zelk {

void EstimationSession::Forget() {
  BestObjective = 0;
  ObjectiveReady = LimitReady = false;
  TotalCalls = SuccessfulCalls = 1;
  Result.Progress.clear();
  Result.ProfileProgress.clear();
  Result.Profiles.clear();
  loop_.Changed(FitChange::Flow);
}

void EstimationSession::SetObjectiveFunc(TObjectiveKind kind) {
  problem_.ObjectiveKind = kind;
  ObjectiveReady = false;
  LimitReady = false;
  loop_.Changed(FitChange::Flow);
}

void EstimationSession::ShowObjective(double value) {
  BestObjective = value;
  if (recordingProgress_)
    Result.Progress.emplace_back(
        static_cast<double>(problem_.Stats.Solutions - Result.ProgressBase), value);
  loop_.Changed(FitChange::Best);
  LimitReady = false;
  ResetFLimits(parameters_);
  Result.Profiles.clear();  // drawn against the threshold of the old best
  Result.LowerSides.clear();
  Result.UpperSides.clear();
  loop_.Changed(FitChange::Flow);
}

EarlyStop EstimationSession::SearchEarlyStop() const {
  // Only a sum of squares grows event by event, and only a current best bounds it.
  if (problem_.ObjectiveKind != TObjectiveKind::SumOfSquares || !ObjectiveReady) return {};
  return {EarlyStop::Rule::Abandon, BestObjective};
}

bool EstimationSession::InitialEvaluation() {
  if (ObjectiveReady) return true;
  if (Solve(parameters_.Value, {}) != SolveResult::Solved) {
    loop_.Tell(Severity::Error, msg::kInitialSolveFailed);
    EndOperation(loop_.Mode());
    return false;
  }
  ShowObjective(problem_.Objective());
  ObjectiveReady = true;
  if (std::isnan(Result.InitialObjective)) Result.InitialObjective = BestObjective;
  return true;
}

void EstimationSession::CountFailedTrial() {
  ++FailedSolves;
  if (problem_.Prefs().ShowIntegrationErrors)
    loop_.Tell(Severity::Note,
               std::string(msg::kSolveFailed) + " [" + std::to_string(FailedSolves) + "]");
}

SolveResult EstimationSession::Solve(const T20Vector& parameters, EarlyStop stop) {
  const SolveResult result = problem_.Solve(parameters, stop);
  if (result == SolveResult::NoLibrary) EndOperation(loop_.Mode());
  return result;
}

bool EstimationSession::SolveTrial() { return SolveTrialWith(SearchEarlyStop()); }

bool EstimationSession::SolveTrialWith(EarlyStop stop) {
  const SolveResult result = Solve(parameters_.TrialValue, stop);
  if (result == SolveResult::Abandoned) {
    ++AbandonedSolves;
    TrialObjective = problem_.PartialSum();  // already above the best
    return false;
  }
  if (IsFailure(result)) CountFailedTrial();
  TrialObjective = problem_.Objective();
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
    loop_.Changed(FitChange::Values);
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
      loop_.Changed(FitChange::Values);
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
  if (!problem_.GaussNewtonCorrection(parameters_.Value, JacobianColumnsOf(parameters_), delta)) {
    ownEnd_ = SearchEnd::SolveFailed;
    EndOperation(loop_.Mode());
    return;
  }
  if (loop_.Mode() == kIdle) return;
  bool anySolved = false;
  for (double factor = 1.0; factor >= kGNSmallestFactor; factor /= 2) {
    for (int i = 1; i <= parameters_.Count; ++i)
      parameters_.TrialValue[i] = parameters_.Value[i] + factor * delta[i];
    const SolveResult result = Solve(parameters_.TrialValue, {});
    if (result != SolveResult::Solved) {
      CountFailedTrial();
      continue;
    }
    anySolved = true;
    TrialObjective = problem_.Objective();
    const bool better = TrialObjective < BestObjective;
    if (better) {
      parameters_.Value = parameters_.TrialValue;
      ShowObjective(TrialObjective);
      ++SuccessfulCalls;
      loop_.Changed(FitChange::Values);
    }
    ++TotalCalls;
    if (better) return;
  }
  // No step could even be solved: that is no optimum.
  if (!anySolved) {
    ownEnd_ = SearchEnd::SolveFailed;
    EndOperation(loop_.Mode());
  }
}

SearchSummary EstimationSession::NotRun() const {
  SearchSummary summary;
  summary.Reason = SearchEnd::InitialSolveFailed;
  summary.Objective = BestObjective;
  summary.Values = parameters_.Value;
  return summary;
}

SearchSummary EstimationSession::RunSearch(const SearchOptions& options) {
  const int failedBefore = FailedSolves, abandonedBefore = AbandonedSolves;
  SearchStopRule rule(options);
  std::uint8_t& mode = loop_.Mode();
  loop_.RunSteps(options.Search, [&] {
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
      case kLMSearch:
        LMStep();
        break;
      case kFLimitSearch:
        ProfileStep();
        break;
      case kDesign:
        DesignStep();
        break;
      default:
        loop_.Tell(Severity::Error, msg::kNotImplemented);
        EndOperation(mode);
        return;
    }
    // A step that ended its search by its own rule still made its trial; one whose start
    // could not be solved made none.
    const bool ended = mode == kIdle;
    if (ended && !ObjectiveReady && options.Search != kDesign) return;
    if (rule.AfterTrial(BestObjective) && !ended) EndOperation(mode);
  });
  // Whatever the last trial left, the computed values are those of the estimates again: the
  // report's residuals and the statistics read them.
  if (ObjectiveReady && !problem_.Model().LibFileName.empty()) problem_.Solve(parameters_.Value);
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
  const std::string error = Statistics(problem_, parameters_, Result.Statistics);
  const bool ok = error.empty();
  for (int i = 1; i <= kMaxParams; ++i) parameters_.StdErrValid[i] = ok && i <= parameters_.Count;
  if (!ok) {
    Result.Statistics = {};
    // A Jacobian that failed was said by the problem itself.
    if (error != kJacobianFailed) loop_.Tell(Severity::Error, error);
  }
  return ok;
}

void EstimationSession::StdErr() {
  loop_.Changed(FitChange::Busy);
  if (ComputeStdErrors()) parameters_.StdError = Result.Statistics.StdError;
  loop_.Changed(FitChange::Idle);
  loop_.Changed(FitChange::StdErrors);
}

void EstimationSession::CovariancesAction() {
  loop_.Changed(FitChange::Busy);
  const bool ok = ComputeStdErrors();
  loop_.Changed(FitChange::Idle);
  if (ok) loop_.Changed(FitChange::Covariances);
}

SearchSummary EstimationSession::Start(TOperation search, const SearchOptions& options) {
  // Every search records where it started: the report's initial estimates.
  parameters_.InitialValue = parameters_.Value;
  loop_.Changed(FitChange::FlowStarted);
  Result.Search = search;
  Result.Message.clear();
  // Not known yet: the first step evaluates the start.
  Result.InitialObjective = ObjectiveReady ? BestObjective : std::nan("");
  SearchOptions run = options;
  run.Search = search;
  Result.Progress.clear();
  Result.ProgressBase = problem_.Stats.Solutions;
  if (ObjectiveReady) Result.Progress.emplace_back(0, BestObjective);
  recordingProgress_ = true;
  Result.Fit = RunSearch(run);
  recordingProgress_ = false;
  // The curve runs on to the run's end, where no better value was found.
  if (!Result.Progress.empty())
    Result.Progress.emplace_back(
        static_cast<double>(problem_.Stats.Solutions - Result.ProgressBase), BestObjective);
  Result.TotalCalls = TotalCalls;
  Result.SuccessfulCalls = SuccessfulCalls;
  return Result.Fit;
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
  ownEnd_ = SearchEnd::Stopped;
  const SearchSummary summary = Start(kGaussNewton, run);
  // A Jacobian that could not be evaluated ends the search as a failure, never as converged.
  if (ownEnd_ == SearchEnd::SolveFailed && summary.Reason == SearchEnd::Stopped) {
    Result.Fit.Reason = SearchEnd::SolveFailed;
    Result.Message = msg::kGNFailed;
    loop_.Tell(Severity::Note, Result.Message);
    return Result.Fit;
  }
  if (summary.Reason == SearchEnd::Stall) {
    Result.Message = msg::kGNConverged;
    loop_.Tell(Severity::Note, Result.Message);
  }
  return summary;
}

SearchSummary EstimationSession::OptimizeLM(const SearchOptions& options) {
  if (!LMCanFit(problem_.ObjectiveKind)) {
    loop_.Tell(Severity::Error, msg::kLMNeedsSquares);
    return NotRun();
  }
  lmIterations_ = options.Calls > 0 ? static_cast<int>(options.Calls) : kLMDefaultIterations;
  lmTolerances_ = options.Tolerances;
  lmDone_ = 0;
  ownEnd_ = SearchEnd::InitialSolveFailed;  // until the start is solved
  SearchOptions run = options;
  run.Calls = run.Stall = 0;  // the search ends by its own tests
  Start(kLMSearch, run);
  Result.Fit.Reason = ownEnd_;
  Result.Fit.Trials = lmDone_;
  if (!Result.Message.empty()) loop_.Tell(Severity::Note, Result.Message);
  return Result.Fit;
}

void EstimationSession::LMStep() {
  if (!InitialEvaluation()) return;
  // A start outside the bounds is moved inside: the objective belongs to the start used.
  const T20Vector start = parameters_.Value;
  LMHooks hooks;
  hooks.SolveFailed = [this] { CountFailedTrial(); };
  hooks.Iteration = [this](bool improved, double objective) {
    ++TotalCalls;
    if (improved && objective < BestObjective) {
      ShowObjective(objective);
      ++SuccessfulCalls;
      loop_.Changed(FitChange::Values);
    }
    loop_.Serve();
    return loop_.Mode() != kIdle;
  };
  const LMOutcome outcome = RunLM(problem_, parameters_, lmIterations_, lmTolerances_, hooks);
  for (const auto& [i, start] : outcome.MovedInside)
    loop_.Tell(Severity::Note, FillPlaceholders(msg::kLMMovedInside,
                                                {std::to_string(i), FormatGeneral(start, 8)}));
  ownEnd_ = outcome.Reason;
  lmDone_ = outcome.Iterations;
  if (outcome.Reason != SearchEnd::Stopped)
    Result.Message = FillPlaceholders(msg::kLMEnded, {SearchEndName(outcome.Reason), outcome.Message});
  // The best objective, exactly as the other searches compute it, at the point the search
  // ended on.
  if (Solve(parameters_.Value) == SolveResult::Solved) {
    const double objective = problem_.Objective();
    if (objective != BestObjective || parameters_.Value != start) ShowObjective(objective);
  } else {
    ObjectiveReady = false;
  }
  loop_.Changed(FitChange::Values);
  EndOperation(loop_.Mode());
}

void EstimationSession::ChooseOptimizeButtonSearch(TOperation search) {
  OptimizeButtonSearch = search;
  loop_.Changed(FitChange::Flow);
  OptimizeButtonClick();
}

void EstimationSession::OptimizeButtonClick() {
  const SearchKind* kind = FindSearch(OptimizeButtonSearch);
  if (!kind) kind = &Searches().front();
  SearchOptions options;
  options.Search = kind->Search;
  options.Tolerances = LMTolerancesOf(problem_.Prefs());
  (this->*kind->Run)(options);
}

}  // namespace zelk
