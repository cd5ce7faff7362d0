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
  DesignBest = 0;
  DesignResult.clear();
  ownEnd_ = SearchEnd::Stopped;
  SearchOptions run = options;
  run.Search = kDesign;
  run.Stall = 0;
  SearchSummary summary = RunSearch(run);
  if (summary.Reason == SearchEnd::Stopped) summary.Reason = ownEnd_;
  return summary;
}

void EstimationSession::DesignStep() {
  std::vector<double> candidates(designCount_);
  for (double& c : candidates) c = NextRandom() * (designMax_ - designMin_) + designMin_;
  // Sorted, so that the merged data set stays ordered by the independent variable.
  std::sort(candidates.begin(), candidates.end());
  const std::optional<double> criterion = host_.DesignCriterion(candidates);
  if (!criterion) {
    // The Jacobian has said why; the best design so far stays.
    ownEnd_ = SearchEnd::SolveFailed;
    EndOperation(host_.Mode());
    return;
  }
  if (*criterion > DesignBest) {
    DesignBest = *criterion;
    DesignResult = candidates;
  }
  if (designRule_.AfterIteration(DesignBest)) {
    ownEnd_ = SearchEnd::Finished;
    EndOperation(host_.Mode());
  }
}

}  // namespace zelk
