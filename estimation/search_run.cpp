#include "estimation/search_run.h"

#include "estimation/fit.h"

#include <sstream>

namespace zelk {

LMTolerances LMTolerancesOf(const TZelkPrefs& prefs) {
  return {prefs.LMFunctionTolerance, prefs.LMParameterTolerance, prefs.LMGradientTolerance};
}

const char* SearchEndName(SearchEnd reason) {
  switch (reason) {
    case SearchEnd::Stopped:
      return "stopped";
    case SearchEnd::Calls:
      return "calls";
    case SearchEnd::Stall:
      return "stall";
    case SearchEnd::InitialSolveFailed:
      return "failed";
    case SearchEnd::Finished:
      return "finished";
    case SearchEnd::SolveFailed:
      return "solve failed";
    case SearchEnd::Converged:
      return "converged";
    case SearchEnd::Stalled:
      return "stalled";
  }
  return "?";
}

const char* SearchName(TOperation search) {
  const SearchKind* kind = FindSearch(search);
  return kind ? kind->Caption : "";
}

std::string SearchSummary::BriefReport() const {
  std::ostringstream out;
  out << "ended (" << SearchEndName(Reason) << ") after " << Trials << " trials, " << FailedCalls
      << " failed, " << AbandonedCalls << " abandoned early";
  return out.str();
}

bool SearchStopRule::AfterTrial(double bestObjective) {
  ++trials_;
  if (!haveBest_ || bestObjective < best_) {
    best_ = bestObjective;
    haveBest_ = true;
    sinceBetter_ = 0;
  } else {
    ++sinceBetter_;
  }
  if (options_.Stall > 0 && sinceBetter_ >= options_.Stall) {
    reason_ = SearchEnd::Stall;
    return true;
  }
  if (options_.Calls > 0 && trials_ >= options_.Calls) {
    reason_ = SearchEnd::Calls;
    return true;
  }
  return false;
}

}  // namespace zelk
