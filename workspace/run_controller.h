#pragma once
// The window's side of the searches: the numbers they share for the workspace's problem and
// parameter table, the commands of the Optimize and Statistics menus that need more than a
// search (the standard errors, the covariances, the F-limit of the details grid's cell) and
// the Optimize button's choice. The searches themselves run on its ground.

#include "estimation/fit_searches.h"
#include "estimation/search_state.h"

namespace zelk {

class RunController : public SearchState {
 public:
  RunController(FitProblem& problem, TParameterRecord& table, RunLoop& loop)
      : ground_{problem, table, *this, loop} {}
  RunController(const RunController&) = delete;
  RunController& operator=(const RunController&) = delete;

  // Where the searches run: this controller's numbers over the workspace's problem and table.
  Search& Ground() { return ground_; }

  // The Optimize tool button runs the search chosen last from its menu (Optimize at start).
  TOperation OptimizeButtonSearch = kRandomSearch;
  void ChooseOptimizeButtonSearch(TOperation search);
  void OptimizeButtonClick();

  // A new model or data set: no best value, no counters, no progress of an earlier search.
  // Whoever shows the Flow page clears it too.
  void Forget();
  // "Objective Function Type": takes effect at the next step of any search.
  void SetObjectiveFunc(TObjectiveKind kind);

  // Standard errors and correlations at Value; every StdErrValid follows the outcome. False
  // after a message; no numbers are kept then.
  bool ComputeStdErrors();
  // "Standard &Errors": the "Std. Error" column of the details grid.
  void StdErr();
  // "Normalized &Covariances": the correlations and their determinant; StdError is kept.
  void CovariancesAction();
  // "&F-Limit" for a cell of the details grid: its row's parameter, the side of its column.
  // True when the search ran without an error.
  bool FLimit(int col, int row, const SearchOptions& options = {});

 private:
  Search ground_;
};

}  // namespace zelk
