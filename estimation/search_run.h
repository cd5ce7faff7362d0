#pragma once
// A search run: what to run and when to end it (options in), what happened (summary out).
// The window runs with no limits (Stop ends it); zelkcli and benchmarks give counts.

#include <cstdint>
#include <string>

#include "base/preferences.h"
#include "estimation/parameter_record.h"
#include "estimation/operation.h"

namespace zelk {

inline constexpr double kGNSmallestFactor = 0.01;  // a Gauss-Newton step tries 1 .. 1/64

// Levenberg-Marquardt's convergence tests: the relative change of the objective and of the
// parameters in a step, and the gradient relative to the start's objective.
struct LMTolerances {
  double Function = 1e-8;
  double Parameter = 1e-8;
  double Gradient = 1e-8;
};

// The preferences' LM tolerances.
LMTolerances LMTolerancesOf(const TZelkPrefs& prefs);

struct SearchOptions {
  TOperation Search = kRandomSearch;  // a search of the Optimize menu, or kFLimitSearch
  long Calls = 0;                     // end after this many trials; 0: no limit
  long Stall = 0;                     // end after this many trials without a better objective
  LMTolerances Tolerances;            // Optimize LM's
};

enum class SearchEnd : std::uint8_t {
  Stopped,             // Stop, or a close of the window
  Calls,               // the trial count was reached
  Stall,               // no better objective for Stall trials
  InitialSolveFailed,  // the start could not be solved
  Finished,            // the search's own end: an F-limit at a bound or at its smallest step
  SolveFailed,         // an F-limit probe, a design or an LM Jacobian could not be solved
  Converged,           // the LM search's own convergence tests
  Stalled,             // LM met its tolerances where the objective could still fall
};

struct SearchSummary {
  SearchEnd Reason = SearchEnd::Stopped;
  long Trials = 0;
  long FailedCalls = 0;     // trial solutions that failed (model fault, precision, no library)
  long AbandonedCalls = 0;  // trials dropped early as already worse than the best: no failure
  double Objective = 0;
  T20Vector Values{};
  // One line: why the run ended and what it made.
  std::string BriefReport() const;
};

const char* SearchEndName(SearchEnd reason);
// "Optimize", "Optimize GN", ... as the menus call the searches; "" for anything else.
const char* SearchName(TOperation search);

// Decides after each step whether the run ends by its own limits.
class SearchStopRule {
 public:
  explicit SearchStopRule(const SearchOptions& options) : options_(options) {}
  // After one trial, with the best objective it left; true when the run should end.
  bool AfterTrial(double bestObjective);
  long Trials() const { return trials_; }
  SearchEnd Reason() const { return reason_; }

 private:
  SearchOptions options_;
  long trials_ = 0;
  long sinceBetter_ = 0;
  double best_ = 0;
  bool haveBest_ = false;
  SearchEnd reason_ = SearchEnd::Stopped;
};

}  // namespace zelk
