// The F-test limits: a profile search per parameter and side.

#include <algorithm>
#include <cmath>

#include "base/format.h"
#include "base/messages.h"
#include "estimation/fit_searches.h"
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

// A limit at 0 moves by the step itself: a relative step would leave it at 0 for ever.
double ProbeMove(double limit, double step) { return limit != 0 ? std::fabs(limit * step) : step; }

std::uint16_t TableIndex(int n) { return static_cast<std::uint16_t>(std::clamp(n, 0, 65535)); }

std::string PrepareLimitObjective(Search& s) {
  SearchState& st = s.State;
  const int n = s.Problem.ObservationCount(), p = s.Table.Count;
  if (n - p <= 0)
    return FillPlaceholders(msg::kTooFewForLimits,
                            {std::to_string(n), std::to_string(p), std::to_string(n - p)});
  // The threshold of the F test on p parameters: F(p, N - p); of the likelihood-ratio test,
  // half the 95 % quantile of chi-square on p degrees, p F(p, infinity).
  st.LimitF = static_cast<double>(FisherF95(TableIndex(p), TableIndex(n - p)));
  if (s.Problem.ObjectiveKind == TObjectiveKind::Likelihood) {
    st.LimitF = FQuantile(p, 1e6, 0.95);  // F(p, infinity) = chi-square(p) / p
    st.LimitObjective = st.BestObjective + 0.5 * p * st.LimitF;
  } else {
    st.LimitObjective = st.BestObjective * (1 + st.LimitF * p / (n - p));
  }
  st.LimitReady = true;
  s.Loop.Changed(FitChange::LimitObjective);
  return {};
}

void AddProfilePoint(Search& s, int k, double value, double objective) {
  SearchState& st = s.State;
  if (static_cast<int>(st.Result.Profiles.size()) <= k) st.Result.Profiles.resize(k + 1);
  st.Result.Profiles[k].emplace_back(value, objective);
}

void ShowProfileMin(Search& s, double value) {
  SearchState& st = s.State;
  st.Result.ProfileProgress.emplace_back(
      static_cast<double>(s.Problem.Stats.Solutions - st.Result.ProfileBase), value);
  st.ProfileMinObjective = value;
  s.Loop.Changed(FitChange::ProfileMinimum);
}

EarlyStop ProfileEarlyStop(Search& s) {
  SearchState& st = s.State;
  if (s.Problem.ObjectiveKind != TObjectiveKind::SumOfSquares) return {};
  return {EarlyStop::Rule::Abandon, std::max(st.LimitObjective, st.ProfileMinObjective)};
}

void RecordLimits(Search& s) {
  TParameterRecord& p = s.Table;
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
  if (changed) s.Loop.Changed(FitChange::Limits);
}

bool MoveProbe(Search& s) {
  SearchState& st = s.State;
  TParameterRecord& p = s.Table;
  const int k = st.LimitParam;
  const bool atBound = st.LimitLower ? p.LimitPoint[k] < p.MinBound[k] + kBoundTolerance
                                  : !(p.MaxBound[k] - kBoundTolerance >= p.LimitPoint[k]);
  if (atBound) {
    // The limit reached the bound: no probe beyond it is solved.
    s.End(SearchEnd::Finished);
    return false;
  }
  p.LimitPoint[k] = st.LimitLower ? p.LoFLimit[k] - ProbeMove(p.LoFLimit[k], st.LimitStep)
                               : p.HiFLimit[k] + ProbeMove(p.HiFLimit[k], st.LimitStep);
  p.TrialValue[k] = p.LimitPoint[k];
  return true;
}

void ProfileStep(Search& s) {
  SearchState& st = s.State;
  TParameterRecord& p = s.Table;
  if (st.TrialObjective <= st.LimitObjective && st.LastTrialSolved) {
    // The latest trial lies inside the region: it, not the centre it was drawn around (which may
    // lie outside, or belong to the previous probe), widens the limits and becomes the centre.
    p.LimitPoint = p.TrialValue;
    AddProfilePoint(s, st.LimitParam, p.TrialValue[st.LimitParam], st.TrialObjective);
    RecordLimits(s);
    if (!MoveProbe(s)) return;
    st.PrevProfileMin = 0;
    st.TotalCalls = st.SuccessfulCalls = 1;
    if (s.Solve(p.TrialValue, {}) != SolveResult::Solved) {
      s.Loop.Tell(Severity::Error, msg::kInitialSolveFailed);
      s.End(SearchEnd::SolveFailed);
      return;
    }
    st.TrialObjective = s.Problem.Objective();
    ShowProfileMin(s, st.TrialObjective);
    return;
  }
  if ((st.TrialObjective < st.ProfileMinObjective || st.TotalCalls == 1) && st.LastTrialSolved) {
    p.LimitPoint = p.TrialValue;
    ShowProfileMin(s, st.TrialObjective);
    ++st.SuccessfulCalls;
  }
  if (st.SuccessfulCalls % kCheckEverySuccessful == 0 || st.TotalCalls % kCheckEveryTotal == 0) {
    double descent = 0;
    if (st.PrevProfileMin != 0) {
      descent = std::fabs(st.PrevProfileMin - st.ProfileMinObjective) / st.PrevProfileMin;
      st.Descent = descent;
      s.Loop.Changed(FitChange::Descent);
    }
    ++st.SuccessfulCalls;
    if (st.PrevProfileMin != 0 && descent < kStalledDescent) {
      // The minimum stalled above the threshold: retry closer in.
      AddProfilePoint(s, st.LimitParam, p.LimitPoint[st.LimitParam], st.ProfileMinObjective);
      st.LimitStep /= 2;
      if (st.LimitStep < kSmallestLimitStep) {
        s.End(SearchEnd::Finished);
        return;
      }
      if (!MoveProbe(s)) return;
      st.PrevProfileMin = 0;
      st.SuccessfulCalls = st.TotalCalls = 1;
    } else {
      st.PrevProfileMin = st.ProfileMinObjective;
    }
  }
  ProfileTrial(p, st.LimitParam, st.TotalCalls, st.SuccessfulCalls);
  st.LastTrialSolved = s.SolveTrialWith(ProfileEarlyStop(s));
  ++st.TotalCalls;
}

}  // namespace

SearchSummary FLimitSide(Search& s, int k, bool lower, const SearchOptions& options) {
  SearchState& st = s.State;
  st.LimitParam = k;
  st.LimitLower = lower;
  st.Descent = std::nan("");
  s.Loop.Changed(FitChange::FLimitSide);
  const SearchSummary failed = s.NotRun();
  if (!s.InitialEvaluation()) return failed;
  if (!st.LimitReady) {
    const std::string error = PrepareLimitObjective(s);
    if (!error.empty()) {
      s.Loop.Tell(Severity::Error, error);
      return failed;
    }
  }
  st.TotalCalls = st.SuccessfulCalls = 1;
  s.Table.TrialValue = s.Table.Value;
  s.Table.LimitPoint = s.Table.TrialValue;
  st.Result.ProfileProgress.clear();
  st.Result.ProfileBase = s.Problem.Stats.Solutions;
  if (static_cast<int>(st.Result.Profiles.size()) <= k || st.Result.Profiles[k].empty())
    AddProfilePoint(s, k, s.Table.Value[k], st.BestObjective);
  if (s.Solve(s.Table.TrialValue, {}) != SolveResult::Solved) {
    s.Loop.Tell(Severity::Error, msg::kInitialSolveFailed);
    return failed;
  }
  // The first step reads the centre's own objective, not what an earlier search left.
  st.TrialObjective = s.Problem.Objective();
  st.LastTrialSolved = true;
  ShowProfileMin(s, st.TrialObjective);
  st.LimitStep = kFirstLimitStep;
  st.PrevProfileMin = 0;
  s.OwnEnd = SearchEnd::Stopped;
  SearchOptions run = options;
  run.Search = kFLimitSearch;
  run.Stall = 0;  // the best objective does not move during a profile
  SearchSummary summary = s.RunSteps(run, [&s] { ProfileStep(s); });
  if (summary.Reason == SearchEnd::Stopped) summary.Reason = s.OwnEnd;
  std::vector<LimitSideState>& sides = lower ? st.Result.LowerSides : st.Result.UpperSides;
  if (static_cast<int>(sides.size()) <= k) sides.resize(k + 1, LimitSideState::Shown);
  const bool cut = summary.Reason == SearchEnd::Stopped || summary.Reason == SearchEnd::Calls;
  sides[k] = cut ? LimitSideState::Unfinished : LimitSideState::Finished;
  s.Loop.Changed(FitChange::Limits);
  return summary;
}

void TellLimitsDone(Search& s) {
  SearchState& st = s.State;
  const int unfinished = st.Result.UnfinishedSides();
  if (unfinished == 0)
    s.Loop.Tell(Severity::Information, msg::kProcessCompleted);
  else
    s.Loop.Tell(Severity::Information,
               FillPlaceholders(msg::kLimitsUnfinished, {std::to_string(unfinished)}));
}

bool AllFLimits(Search& s, const SearchOptions& options) {
  SearchState& st = s.State;
  s.Loop.Changed(FitChange::FLimitsStarted);
  st.Result.LimitSides.clear();
  st.Result.Profiles.clear();
  // The start first: a new best value would forget the sides' states set here.
  if (!s.InitialEvaluation()) {
    st.Result.LimitSides.push_back(s.NotRun());
    return false;
  }
  // Until its own search, a side shows nothing: what other profiles left there is no limit.
  st.Result.LowerSides.assign(s.Table.Count + 1, LimitSideState::Pending);
  st.Result.UpperSides.assign(s.Table.Count + 1, LimitSideState::Pending);
  s.Loop.Changed(FitChange::Limits);
  bool clean = true;
  for (int k = 1; k <= s.Table.Count; ++k)
    for (const bool lower : {true, false}) {
      if (s.Loop.Closing()) return false;
      const SearchSummary side = FLimitSide(s, k, lower, options);
      st.Result.LimitSides.push_back(side);
      const SearchEnd end = side.Reason;
      // The remaining searches would fail the same way, each with its own message.
      if (end == SearchEnd::InitialSolveFailed) return false;
      if (end == SearchEnd::SolveFailed) clean = false;
    }
  if (clean && !s.Loop.Closing()) TellLimitsDone(s);
  return clean;
}

}  // namespace zelk
