#pragma once
// The estimation session: the best value and the counters of the searches, and the searches
// themselves, run step by step over a fit problem on a run loop.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/data_set.h"
#include "estimation/experiment_design.h"
#include "estimation/fit_problem.h"
#include "estimation/fit_result.h"
#include "estimation/objective.h"
#include "estimation/parameter_record.h"
#include "estimation/run_loop.h"
#include "estimation/search_run.h"
#include "estimation/statistics.h"
#include "estimation/operation.h"
#include "model/solver.h"

namespace zelk {

class EstimationSession {
 public:
  EstimationSession(FitProblem& problem, TParameterRecord& parameters, RunLoop& loop)
      : problem_(problem), parameters_(parameters), loop_(loop) {}
  EstimationSession(const EstimationSession&) = delete;
  EstimationSession& operator=(const EstimationSession&) = delete;

  double BestObjective = 0;
  double TrialObjective = 0;
  double ProfileMinObjective = 0;
  double SearchBestObjective = 0;
  std::uint32_t TotalCalls = 1;
  std::uint32_t SuccessfulCalls = 1;
  bool ObjectiveReady = false;
  bool LimitReady = false;
  int FailedSolves = 0;     // trials whose solution failed
  int AbandonedSolves = 0;  // trials dropped early as worse than the best: not failures
  FitResult Result;  // what the searches, the statistics and the design made
  // The Optimize tool button runs the search chosen last from its menu (Optimize at start).
  TOperation OptimizeButtonSearch = kRandomSearch;

  // A new model or data set: no best value, no counters, no progress of an earlier search.
  // Whoever shows the Flow page clears it too.
  void Forget();
  // "Objective Function Type": takes effect at the next step of any search.
  void SetObjectiveFunc(TObjectiveKind kind);
  // A new best objective: shown with the counters, F-limits restart from Value.
  void ShowObjective(double value);
  // Solves Value when BestObjective is not current; false (after the message) when that fails.
  bool InitialEvaluation();
  // A search's trials may be dropped once their running sum of squares passes the best.
  EarlyStop SearchEarlyStop() const;
  // Solves TrialValue, counts a failure or an early abandon, and evaluates the objective;
  // false when the trial cannot win (abandoned, or its model failed).
  bool SolveTrial();
  // One step of the random-direction search and of the region search.
  void OptimizeStep();
  // One step of the region search; the adaptive one (WL) weighs its regions' shrinking by
  // the moves of its successful trials.
  void RegionStep(bool adaptive);
  // One Gauss-Newton step: the correction, tried with factors 1, 1/2, ... down to 1/64 until
  // one lowers the objective.
  void GNStep();

  // Repeats single steps of the search until Stop or one of the options' limits ends it.
  SearchSummary RunSearch(const SearchOptions& options);
  // The two search commands with their set-up.
  SearchSummary Optimize(const SearchOptions& options);
  SearchSummary OptimizeLJ(const SearchOptions& options);
  // Gauss-Newton ends by itself after a step that lowered nothing (the next would repeat it),
  // unless options.Stall asks for more, and says so in the message pane.
  SearchSummary OptimizeGN(const SearchOptions& options);
  SearchSummary OptimizeWL(const SearchOptions& options);
  // Levenberg-Marquardt within the bounds, fixed parameters held; options.Calls caps its
  // iterations. Ends by its own convergence tests and says why in the message pane.
  SearchSummary OptimizeLM(const SearchOptions& options);
  // The LM search whole, as one step of the stop loop that serves the loop every iteration.
  void LMStep();
  void ChooseOptimizeButtonSearch(TOperation search);
  // Standard errors and correlations at Value; every StdErrValid follows the outcome. False
  // after a message; no numbers are kept then.
  bool ComputeStdErrors();
  // "Standard &Errors": the "Std. Error" column of the details grid.
  void StdErr();
  // "Normalized &Covariances": the correlations and their determinant; StdError is kept.
  void CovariancesAction();
  void OptimizeButtonClick();

  // --- F-test limits: for one parameter and side at a time, the profile search moves the
  // parameter outward while the others are re-fitted by random trials around LimitPoint.
  double LimitObjective = 0;  // the threshold, BestObjective (1 + F p / (N - p))
  double LimitF = 0;          // F(p, N - p) behind it
  double PrevProfileMin = 0;  // 0: no descent check yet at this probe
  int LimitParam = 1;
  bool LimitLower = true;
  double LimitStep = 0.1;
  bool LastTrialSolved = false;
  double Descent = 0;  // the profile minimum's last relative descent; NaN: none yet at this side
  // One side of parameter k; the summary says how it ended.
  SearchSummary StartFLimit(int k, bool lower, const SearchOptions& options = {});
  // One step of the profile search.
  void ProfileStep();
  // Every parameter's limits widen to LimitPoint where it lies outside them.
  void RecordLimits();
  // "&F-Limit" for the details grid's current cell; "&All F-Limits" for every parameter,
  // lower side first. Each side ends by its own rules, by Stop, or after options.Calls
  // steps. True when every search ran without an error; Result.LimitSides says how each ended.
  bool FLimit(int col, int row, const SearchOptions& options = {});
  bool AllFLimits(const SearchOptions& options = {});
  // "Process Successfully Completed", or how many sides were cut short.
  void TellLimitsDone();

  // --- experiment design: random candidate sets in [min, max], sorted, the one with the
  // largest determinant kept. Ends by its own rule, by Stop or after options.Calls sets.
  SearchSummary DesignNextPoints(int count, double min, double max,
                                 const SearchOptions& options = {});
  // One candidate set.
  void DesignStep();

 private:
  // The Flow page in front, then the run.
  SearchSummary Start(TOperation search, const SearchOptions& options);
  // The summary of a search that could not start: the best value and the values as they are.
  SearchSummary NotRun() const;
  // Both region searches start with Region := Value.
  void StartRegions();
  // A trial whose solution failed: counted, and reported when the user asked for it.
  void CountFailedTrial();
  // Solves TrialValue with `stop`; see SolveTrial.
  bool SolveTrialWith(EarlyStop stop);
  // Solves the measured data; a missing library ends the run.
  SolveResult Solve(const T20Vector& parameters, EarlyStop stop = {});
  // LimitObjective for the current best; "" or the message why there is none.
  std::string PrepareLimitObjective();
  void ShowProfileMin(double value);
  // Moves the probe one LimitStep outward from the side's limit; false (after ending the
  // search) when the probe already lies at the side's bound.
  bool MoveProbe();
  // The profile's trials can be dropped once they pass both the threshold and the minimum.
  EarlyStop ProfileEarlyStop() const;
  SearchEnd ownEnd_ = SearchEnd::Stopped;  // set when a step ends its search by its own rule
  bool recordingProgress_ = false;
  // A point of parameter k's profile.
  void AddProfilePoint(int k, double value, double objective);
  int lmIterations_ = 0;
  LMTolerances lmTolerances_;
  int lmDone_ = 0;
  int designCount_ = 1;
  double designMin_ = 0, designMax_ = 1;
  DesignStopRule designRule_{1};

  FitProblem& problem_;
  TParameterRecord& parameters_;
  RunLoop& loop_;
};

}  // namespace zelk
