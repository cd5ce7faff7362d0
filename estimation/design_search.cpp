// The experiment design, run step by step like the searches.

#include <algorithm>

#include "estimation/experiment_design.h"
#include "estimation/fit_searches.h"
#include "estimation/random.h"

namespace zelk {

SearchSummary DesignSearch(Search& s, int count, double min, double max,
                           const SearchOptions& options) {
  FitResult& r = s.State.Result;
  r.DesignDeterminant = 0;
  r.DesignPoints.clear();
  s.OwnEnd = SearchEnd::Stopped;
  DesignStopRule rule(count);
  SearchOptions run = options;
  run.Search = kDesign;
  run.Stall = 0;
  SearchSummary summary = s.RunSteps(run, [&] {
    std::vector<double> candidates(count);
    for (double& c : candidates) c = NextRandom() * (max - min) + min;
    // Sorted, so that the merged data set stays ordered by the independent variable.
    std::sort(candidates.begin(), candidates.end());
    const std::optional<double> criterion =
        s.Problem.DesignCriterion(s.Table.Value, s.Table.Count, candidates);
    s.Loop.Changed(FitChange::DesignTrial);
    if (!criterion) {
      // The Jacobian has said why; the best design so far stays.
      s.End(SearchEnd::SolveFailed);
      return;
    }
    if (*criterion > r.DesignDeterminant) {
      r.DesignDeterminant = *criterion;
      r.DesignPoints = candidates;
    }
    if (rule.AfterIteration(r.DesignDeterminant)) s.End(SearchEnd::Finished);
  });
  if (summary.Reason == SearchEnd::Stopped) summary.Reason = s.OwnEnd;
  r.Design = summary;
  return summary;
}

}  // namespace zelk
