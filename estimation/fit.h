#pragma once
// The engine's one call, in the manner of Solve(options, &problem, &summary): fit a problem
// from a parameter table's values with one search, and hear about it through an observer.
// No window, no workspace: a batch run, a test or a start of a multi-start run calls this.
//
//   FitProblem problem(model, data, prefs, log);
//   TParameterRecord table = StartParameterRecord();
//   FitObserver quiet;
//   const FitSummary s = Fit(FitOptions{}, problem, table, quiet);  // LM by default

#include <cstdint>
#include <string>
#include <vector>

#include "estimation/fit_result.h"
#include "estimation/fit_searches.h"
#include "estimation/fit_problem.h"
#include "estimation/parameter_record.h"
#include "estimation/search_run.h"
#include "estimation/statistics.h"

namespace zelk {

struct FitOptions {
  TOperation Search = kLMSearch;  // one of Searches()
  long Calls = 0;                 // trials (LM: iterations); 0: the search's own end
  long Stall = 0;                 // trials without a better objective; 0: no such end
  LMTolerances Tolerances;
  TObjectiveKind Objective = TObjectiveKind::SumOfSquares;
};

struct FitSummary {
  TOperation Search = kIdle;
  SearchEnd Reason = SearchEnd::Stopped;
  std::string Message;  // why it ended, where the search says so
  long Trials = 0, FailedCalls = 0, AbandonedCalls = 0;
  std::uint32_t TotalCalls = 0, SuccessfulCalls = 0;  // model calls of the search, and better ones
  double InitialObjective = 0, Objective = 0;
  T20Vector Values{};
  SolverStats Stats;  // of this fit alone
  // "Optimize LM ended (converged) after 12 trials, ...; objective 0.5 -> 0.002"
  std::string BriefReport() const;
};

// What a fit tells whoever runs it; every member has a silent default.
class FitObserver {
 public:
  virtual ~FitObserver() = default;
  // Asked between trials (LM: iterations); false stops the fit where it stands.
  virtual bool Continue() { return true; }
  // A new best objective at `values`.
  virtual void Improved(double /*objective*/, const T20Vector& /*values*/) {}
  // A message the search has for the user.
  virtual void Note(Severity /*severity*/, const std::string& /*text*/) {}
};

// Fits `problem` from table.Value, leaving the best values found in table.Value. Fixed
// parameters and bounds are the table's.
FitSummary Fit(const FitOptions& options, FitProblem& problem, TParameterRecord& table,
               FitObserver& observer);

// The fit as the report and the window keep it: search, end, counts and objectives.
void Record(const FitSummary& summary, FitResult& record);

// Standard errors (95 % half-widths) and correlations at table.Value; "" or why not.
std::string Statistics(FitProblem& problem, const TParameterRecord& table, TStatistics& out);

struct LimitsSummary {
  bool Clean = false;  // every side ran without an error
  double Threshold = 0;  // the objective the limits lie on: best (1 + F p / (N - p))
  double F = 0;          // F(p, N - p) behind it
};

// F-test limits of every parameter around table.Value into table.LoFLimit/HiFLimit, lower
// side first; each side ends by its own rules, by the observer or after options.Calls steps.
// The sides, their states and the profiles go into `record`.
LimitsSummary FLimits(const FitOptions& options, FitProblem& problem, TParameterRecord& table,
                      FitObserver& observer, FitResult& record);

// The D-optimal `count` values of the first independent variable in [min, max] at table.Value,
// ascending, into record.DesignPoints with their determinant; ends by its own rule, by the
// observer or after options.Calls candidate sets.
SearchSummary Design(int count, double min, double max, const FitOptions& options,
                     FitProblem& problem, TParameterRecord& table, FitObserver& observer,
                     FitResult& record);

// The searches, in the order of the Optimize menu: the one list the window, zelkcli and the
// report take them from.
struct SearchKind {
  TOperation Search;
  const char* Key;      // zelkcli's --search value
  const char* Caption;  // the menus' and the report's name
  SearchSummary (*Run)(zelk::Search&, const SearchOptions&);
};
const std::vector<SearchKind>& Searches();
// The entry of `search`, or of zelkcli's `key`; nullptr for none.
const SearchKind* FindSearch(TOperation search);
const SearchKind* FindSearch(const std::string& key);
// One of the Optimize menu's searches, as opposed to the F-limits, the design or a chart.
bool IsOptimizeSearch(std::uint8_t mode);

}  // namespace zelk
