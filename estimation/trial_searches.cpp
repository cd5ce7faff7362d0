// The searches that try points one by one: random directions, shrinking regions and
// Gauss-Newton steps.

#include "base/messages.h"
#include "estimation/fit_searches.h"
#include "estimation/scales.h"
#include "estimation/searches.h"

namespace zelk {

namespace {

// A better trial becomes the estimate.
void Accept(Search& s) {
  s.Table.Value = s.Table.TrialValue;
  s.ShowObjective(s.State.TrialObjective);
  ++s.State.SuccessfulCalls;
  s.Loop.Changed(FitChange::Values);
}

void RandomStep(Search& s) {
  if (!s.InitialEvaluation()) return;
  RandomDirectionTrial(s.Table, s.State.TotalCalls, s.State.SuccessfulCalls);
  if (s.SolveTrial() && s.State.TrialObjective < s.State.BestObjective) Accept(s);
  ++s.State.TotalCalls;
}

void RegionStep(Search& s, bool adaptive) {
  SearchState& st = s.State;
  TParameterRecord& p = s.Table;
  const bool fresh = !st.ObjectiveReady;
  if (!s.InitialEvaluation()) return;
  if (fresh) st.SearchBestObjective = st.BestObjective;
  RegionTrial(p);
  if (s.SolveTrial() && st.TrialObjective < st.SearchBestObjective) {
    p.SearchBest = p.TrialValue;
    st.SearchBestObjective = st.TrialObjective;
    if (adaptive) AddRegionWeights(p);
  }
  if (st.TotalCalls % kRegionBlockCalls == 0) {
    if (st.BestObjective > st.SearchBestObjective) {
      s.ShowObjective(st.SearchBestObjective);
      p.Value = p.SearchBest;
      ResetFLimits(p);
      s.Loop.Changed(FitChange::Values);
    }
    ++st.SuccessfulCalls;
    if (adaptive)
      ShrinkRegionsByWeight(p);
    else
      ShrinkRegions(p);
  }
  ++st.TotalCalls;
}

// Both region searches start with Region := Value.
void StartRegions(Search& s) {
  TParameterRecord& p = s.Table;
  for (int i = 1; i <= p.Count; ++i) p.Region[i] = p.Value[i];
  // A run started while the best value is current compares with it, not with what an
  // earlier region search left (or 0, after none): otherwise no trial could ever win.
  if (s.State.ObjectiveReady) {
    s.State.SearchBestObjective = s.State.BestObjective;
    p.SearchBest = p.Value;
  }
}

// The correction, tried with factors 1, 1/2, ... down to 1/64 until one lowers the objective.
void GNStep(Search& s) {
  if (!s.InitialEvaluation()) return;
  TParameterRecord& p = s.Table;
  T20Vector delta{};
  JacobianColumns columns = JacobianColumnsOf(p);
  ScaleColumns(columns, p, p.Value);
  if (!s.Problem.GaussNewtonCorrection(p.Value, columns, delta)) {
    s.End(SearchEnd::SolveFailed);
    return;
  }
  if (s.Loop.Mode() == kIdle) return;
  bool anySolved = false;
  for (double factor = 1.0; factor >= kGNSmallestFactor; factor /= 2) {
    for (int i = 1; i <= p.Count; ++i) {
      const TScale scale = EffectiveScale(p, i);
      p.TrialValue[i] = ToNatural(scale, ToScaled(scale, p.Value[i]) + factor * delta[i]);
    }
    if (s.Solve(p.TrialValue, {}) != SolveResult::Solved) {
      s.CountFailedTrial();
      continue;
    }
    anySolved = true;
    s.State.TrialObjective = s.Problem.Objective();
    const bool better = s.State.TrialObjective < s.State.BestObjective;
    if (better) Accept(s);
    ++s.State.TotalCalls;
    if (better) return;
  }
  // No step could even be solved: that is no optimum.
  if (!anySolved) s.End(SearchEnd::SolveFailed);
}

}  // namespace

SearchSummary RandomSearch(Search& s, const SearchOptions& options) {
  return s.Start(kRandomSearch, options, [&s] { RandomStep(s); });
}

SearchSummary RegionSearchLJ(Search& s, const SearchOptions& options) {
  StartRegions(s);
  return s.Start(kLJSearch, options, [&s] { RegionStep(s, false); });
}

SearchSummary RegionSearchWL(Search& s, const SearchOptions& options) {
  StartRegions(s);
  TParameterRecord& p = s.Table;
  for (int i = 1; i <= p.Count; ++i) p.RegionWeight[i] = 0;
  p.SpareA = p.SpareB = p.Value;
  return s.Start(kWLSearch, options, [&s] { RegionStep(s, true); });
}

SearchSummary GaussNewtonSearch(Search& s, const SearchOptions& options) {
  SearchOptions run = options;
  if (run.Stall == 0) run.Stall = 1;
  s.OwnEnd = SearchEnd::Stopped;
  FitResult& r = s.State.Result;
  const SearchSummary summary = s.Start(kGaussNewton, run, [&s] { GNStep(s); });
  // A Jacobian that could not be evaluated ends the search as a failure, never as converged.
  if (s.OwnEnd == SearchEnd::SolveFailed && summary.Reason == SearchEnd::Stopped) {
    r.Fit.Reason = SearchEnd::SolveFailed;
    r.Message = msg::kGNFailed;
    s.Loop.Tell(Severity::Note, r.Message);
    return r.Fit;
  }
  if (summary.Reason == SearchEnd::Stall) {
    r.Message = msg::kGNConverged;
    s.Loop.Tell(Severity::Note, r.Message);
  }
  return summary;
}

}  // namespace zelk
