// The F-test limits of the estimation session: a profile search per parameter and side.

#include <algorithm>
#include <cmath>

#include "base/format.h"
#include "base/messages.h"
#include "estimation/estimation_session.h"
#include "estimation/quantiles.h"
#include "estimation/searches.h"

namespace zelk {

namespace {

constexpr double kFirstLimitStep = 0.1;
constexpr double kSmallestLimitStep = 1e-4;
constexpr double kBoundTolerance = 1e-10;
constexpr double kStalledDescent = 0.001;
constexpr std::uint32_t kCheckEverySuccessful = 100;
constexpr std::uint32_t kCheckEveryTotal = 2000;
constexpr int kLowerColumn = 5, kUpperColumn = 6;

// A limit at 0 moves by the step itself: a relative step would leave it at 0 for ever.
double ProbeMove(double limit, double step) { return limit != 0 ? std::fabs(limit * step) : step; }

std::uint16_t TableIndex(int n) { return static_cast<std::uint16_t>(std::clamp(n, 0, 65535)); }

}  // namespace

std::string EstimationSession::PrepareLimitObjective() {
  const int n = problem_.ObservationCount(), p = parameters_.Count;
  if (n - p <= 0)
    return FillPlaceholders(msg::kTooFewForLimits,
                            {std::to_string(n), std::to_string(p), std::to_string(n - p)});
  // The threshold of the F test on p parameters: F(p, N - p).
  LimitF = static_cast<double>(FisherF95(TableIndex(p), TableIndex(n - p)));
  LimitObjective = BestObjective * (1 + LimitF * p / (n - p));
  LimitReady = true;
  loop_.Changed(FitChange::LimitObjective);
  return {};
}

void EstimationSession::AddProfilePoint(int k, double value, double objective) {
  if (static_cast<int>(Result.Profiles.size()) <= k) Result.Profiles.resize(k + 1);
  Result.Profiles[k].emplace_back(value, objective);
}

void EstimationSession::ShowProfileMin(double value) {
  Result.ProfileProgress.emplace_back(
      static_cast<double>(problem_.Stats.Solutions - Result.ProfileBase), value);
  ProfileMinObjective = value;
  loop_.Changed(FitChange::ProfileMinimum);
}

EarlyStop EstimationSession::ProfileEarlyStop() const {
  if (problem_.ObjectiveKind != TObjectiveKind::SumOfSquares) return {};
  return {EarlyStop::Rule::Abandon, std::max(LimitObjective, ProfileMinObjective)};
}

SearchSummary EstimationSession::StartFLimit(int k, bool lower, const SearchOptions& options) {
  LimitParam = k;
  LimitLower = lower;
  Descent = std::nan("");
  loop_.Changed(FitChange::FLimitSide);
  const SearchSummary failed = NotRun();
  if (!InitialEvaluation()) return failed;
  if (!LimitReady) {
    const std::string error = PrepareLimitObjective();
    if (!error.empty()) {
      loop_.Tell(Severity::Error, error);
      return failed;
    }
  }
  TotalCalls = SuccessfulCalls = 1;
  parameters_.TrialValue = parameters_.Value;
  parameters_.LimitPoint = parameters_.TrialValue;
  Result.ProfileProgress.clear();
  Result.ProfileBase = problem_.Stats.Solutions;
  if (static_cast<int>(Result.Profiles.size()) <= k || Result.Profiles[k].empty())
    AddProfilePoint(k, parameters_.Value[k], BestObjective);
  if (Solve(parameters_.TrialValue, {}) != SolveResult::Solved) {
    loop_.Tell(Severity::Error, msg::kInitialSolveFailed);
    return failed;
  }
  // The first step reads the centre's own objective, not what an earlier search left.
  TrialObjective = problem_.Objective();
  LastTrialSolved = true;
  ShowProfileMin(TrialObjective);
  LimitStep = kFirstLimitStep;
  PrevProfileMin = 0;
  ownEnd_ = SearchEnd::Stopped;
  SearchOptions run = options;
  run.Search = kFLimitSearch;
  run.Stall = 0;  // the best objective does not move during a profile
  SearchSummary summary = RunSearch(run);
  if (summary.Reason == SearchEnd::Stopped) summary.Reason = ownEnd_;
  std::vector<LimitSideState>& sides = lower ? Result.LowerSides : Result.UpperSides;
  if (static_cast<int>(sides.size()) <= k) sides.resize(k + 1, LimitSideState::Shown);
  const bool cut = summary.Reason == SearchEnd::Stopped || summary.Reason == SearchEnd::Calls;
  sides[k] = cut ? LimitSideState::Unfinished : LimitSideState::Finished;
  loop_.Changed(FitChange::Limits);
  return summary;
}

bool EstimationSession::MoveProbe() {
  TParameterRecord& p = parameters_;
  const int k = LimitParam;
  const bool atBound = LimitLower ? p.LimitPoint[k] < p.MinBound[k] + kBoundTolerance
                                  : !(p.MaxBound[k] - kBoundTolerance >= p.LimitPoint[k]);
  if (atBound) {
    // The limit reached the bound: no probe beyond it is solved.
    ownEnd_ = SearchEnd::Finished;
    EndOperation(loop_.Mode());
    return false;
  }
  p.LimitPoint[k] = LimitLower ? p.LoFLimit[k] - ProbeMove(p.LoFLimit[k], LimitStep)
                               : p.HiFLimit[k] + ProbeMove(p.HiFLimit[k], LimitStep);
  p.TrialValue[k] = p.LimitPoint[k];
  return true;
}

void EstimationSession::ProfileStep() {
  TParameterRecord& p = parameters_;
  if (TrialObjective <= LimitObjective && LastTrialSolved) {
    // The latest trial lies inside the region: it, not the centre it was drawn around (which may
    // lie outside, or belong to the previous probe), widens the limits and becomes the centre.
    p.LimitPoint = p.TrialValue;
    AddProfilePoint(LimitParam, p.TrialValue[LimitParam], TrialObjective);
    RecordLimits();
    if (!MoveProbe()) return;
    PrevProfileMin = 0;
    TotalCalls = SuccessfulCalls = 1;
    if (Solve(p.TrialValue, {}) != SolveResult::Solved) {
      loop_.Tell(Severity::Error, msg::kInitialSolveFailed);
      ownEnd_ = SearchEnd::SolveFailed;
      EndOperation(loop_.Mode());
      return;
    }
    TrialObjective = problem_.Objective();
    ShowProfileMin(TrialObjective);
    return;
  }
  if ((TrialObjective < ProfileMinObjective || TotalCalls == 1) && LastTrialSolved) {
    p.LimitPoint = p.TrialValue;
    ShowProfileMin(TrialObjective);
    ++SuccessfulCalls;
  }
  if (SuccessfulCalls % kCheckEverySuccessful == 0 || TotalCalls % kCheckEveryTotal == 0) {
    double descent = 0;
    if (PrevProfileMin != 0) {
      descent = std::fabs(PrevProfileMin - ProfileMinObjective) / PrevProfileMin;
      Descent = descent;
      loop_.Changed(FitChange::Descent);
    }
    ++SuccessfulCalls;
    if (PrevProfileMin != 0 && descent < kStalledDescent) {
      // The minimum stalled above the threshold: retry closer in.
      AddProfilePoint(LimitParam, p.LimitPoint[LimitParam], ProfileMinObjective);
      LimitStep /= 2;
      if (LimitStep < kSmallestLimitStep) {
        ownEnd_ = SearchEnd::Finished;
        EndOperation(loop_.Mode());
        return;
      }
      if (!MoveProbe()) return;
      PrevProfileMin = 0;
      SuccessfulCalls = TotalCalls = 1;
    } else {
      PrevProfileMin = ProfileMinObjective;
    }
  }
  ProfileTrial(p, LimitParam, TotalCalls, SuccessfulCalls);
  LastTrialSolved = SolveTrialWith(ProfileEarlyStop());
  ++TotalCalls;
}

void EstimationSession::RecordLimits() {
  TParameterRecord& p = parameters_;
  bool changed = false;
  for (int i = 1; i <= p.Count; ++i) {
    if (p.LimitPoint[i] < p.LoFLimit[i]) {
      p.LoFLimit[i] = p.LimitPoint[i];
      p.LoFValid[i] = true;
      p.LoLimitPoints[i] = p.LimitPoint;
      changed = true;
    }
    if (p.LimitPoint[i] > p.HiFLimit[i]) {
      p.HiFLimit[i] = p.LimitPoint[i];
      p.HiFValid[i] = true;
      p.HiLimitPoints[i] = p.LimitPoint;
      changed = true;
    }
  }
  if (changed) loop_.Changed(FitChange::Limits);
}

bool EstimationSession::FLimit(int col, int row, const SearchOptions& options) {
  loop_.Changed(FitChange::FLimitsStarted);
  if (row < 1 || row > parameters_.Count || (col != kLowerColumn && col != kUpperColumn)) {
    loop_.Tell(Severity::Error, msg::kLimitCellRequired);
    return false;
  }
  Result.LimitSides = {StartFLimit(row, col == kLowerColumn, options)};
  const SearchEnd end = Result.LimitSides.back().Reason;
  // A search that could not run, or whose probe failed, has said so: no success after it.
  if (end == SearchEnd::InitialSolveFailed || end == SearchEnd::SolveFailed) return false;
  if (!loop_.Closing()) TellLimitsDone();
  return true;
}

void EstimationSession::TellLimitsDone() {
  const int unfinished = Result.UnfinishedSides();
  if (unfinished == 0)
    loop_.Tell(Severity::Information, msg::kProcessCompleted);
  else
    loop_.Tell(Severity::Information,
               FillPlaceholders(msg::kLimitsUnfinished, {std::to_string(unfinished)}));
}

bool EstimationSession::AllFLimits(const SearchOptions& options) {
  loop_.Changed(FitChange::FLimitsStarted);
  Result.LimitSides.clear();
  Result.Profiles.clear();
  // The start first: a new best value would forget the sides' states set here.
  if (!InitialEvaluation()) {
    Result.LimitSides.push_back(NotRun());
    return false;
  }
  // Until its own search, a side shows nothing: what other profiles left there is no limit.
  Result.LowerSides.assign(parameters_.Count + 1, LimitSideState::Pending);
  Result.UpperSides.assign(parameters_.Count + 1, LimitSideState::Pending);
  loop_.Changed(FitChange::Limits);
  bool clean = true;
  for (int k = 1; k <= parameters_.Count; ++k)
    for (const bool lower : {true, false}) {
      if (loop_.Closing()) return false;
      const SearchSummary side = StartFLimit(k, lower, options);
      Result.LimitSides.push_back(side);
      const SearchEnd end = side.Reason;
      // The remaining searches would fail the same way, each with its own message.
      if (end == SearchEnd::InitialSolveFailed) return false;
      if (end == SearchEnd::SolveFailed) clean = false;
    }
  if (clean && !loop_.Closing()) TellLimitsDone();
  return clean;
}

}  // namespace zelk
