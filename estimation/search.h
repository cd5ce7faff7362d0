#pragma once
// A search's ground: the problem it solves, the table whose values it moves, the numbers it
// shares and the loop it steps on, with the steps every search takes alike. The searches
// themselves are functions over it (fit_searches.h).

#include <functional>

#include "estimation/fit_problem.h"
#include "estimation/parameter_record.h"
#include "estimation/run_loop.h"
#include "estimation/search_run.h"
#include "estimation/search_state.h"
#include "model/solver.h"

namespace zelk {

struct Search {
  FitProblem& Problem;
  TParameterRecord& Table;
  SearchState& State;
  RunLoop& Loop;
  SearchEnd OwnEnd = SearchEnd::Stopped;  // set when a step ends its search by its own rule
  bool RecordingProgress = false;

  // Ends the running search by its own rule.
  void End(SearchEnd why);
  // A new best objective: shown with the counters, F-limits restart from Value.
  void ShowObjective(double value);
  // Solves Value when BestObjective is not current; false (after the message) when that fails.
  bool InitialEvaluation();
  // A search's trials may be dropped once their running sum of squares passes the best.
  EarlyStop EarlyStopAtBest() const;
  // Solves TrialValue, counts a failure or an early abandon, and evaluates the objective;
  // false when the trial cannot win (abandoned, or its model failed).
  bool SolveTrial() { return SolveTrialWith(EarlyStopAtBest()); }
  bool SolveTrialWith(EarlyStop stop);
  // A trial whose solution failed: counted, and reported when the user asked for it.
  void CountFailedTrial();
  // Solves the measured data; a missing library ends the run.
  SolveResult Solve(const T20Vector& parameters, EarlyStop stop = {});
  // The summary of a search that could not start: the best value and the values as they are.
  SearchSummary NotRun() const;
  // Repeats `step` until the loop's mode falls idle or one of the options' limits ends it.
  SearchSummary RunSteps(const SearchOptions& options, const std::function<void()>& step);
  // A search of the Optimize menu: its start recorded, the Flow page in front, then the run.
  SearchSummary Start(TOperation search, const SearchOptions& options,
                      const std::function<void()>& step);
};

}  // namespace zelk
