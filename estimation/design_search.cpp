// The experiment design of the estimation session, run step by step like the searches.

#include <algorithm>

#include "estimation/estimation_session.h"
#include "estimation/random.h"

namespace zelk {

SearchSummary EstimationSession::DesignNextPoints(int count, double min, double max,
                                                  const SearchOptions& options) {
  designCount_ = count;
  designMin_ = min;
  designMax_ = max;
  designRule_ = DesignStopRule(count);
  Result.DesignDeterminant = 0;
  Result.DesignPoints.clear();
  ownEnd_ = SearchEnd::Stopped;
  SearchOptions run = options;
  run.Search = kDesign;
  run.Stall = 0;
  SearchSummary summary = RunSearch(run);
  if (summary.Reason == SearchEnd::Stopped) summary.Reason = ownEnd_;
  Result.Design = summary;
  return summary;
}

void EstimationSession::DesignStep() {
  std::vector<double> candidates(designCount_);
  for (double& c : candidates) c = NextRandom() * (designMax_ - designMin_) + designMin_;
  // Sorted, so that the merged data set stays ordered by the independent variable.
  std::sort(candidates.begin(), candidates.end());
  const std::optional<double> criterion =
      problem_.DesignCriterion(parameters_.Value, parameters_.Count, candidates);
  loop_.Changed(FitChange::DesignTrial);
  if (!criterion) {
    // The Jacobian has said why; the best design so far stays.
    ownEnd_ = SearchEnd::SolveFailed;
    EndOperation(loop_.Mode());
    return;
  }
  if (*criterion > Result.DesignDeterminant) {
    Result.DesignDeterminant = *criterion;
    Result.DesignPoints = candidates;
  }
  if (designRule_.AfterIteration(Result.DesignDeterminant)) {
    ownEnd_ = SearchEnd::Finished;
    EndOperation(loop_.Mode());
  }
}

}  // namespace zelk
