#pragma once
// The window's side of the searches: running, stopping and the running panel; the numbers
// the searches share for the workspace's problem and parameter table and the Flow and F-Test
// pages' texts of them; the commands that need more than a search (the standard errors, the
// covariances, the F-limit of the details grid's cell) and the Optimize button's choice. The
// searches themselves run on its ground.

#include <chrono>
#include <cstdint>
#include <string>

#include "estimation/fit_searches.h"
#include "estimation/multi_start.h"
#include "estimation/search_state.h"
#include "workspace/flow_texts.h"
#include "workspace/user_interface.h"

namespace zelk {

// What the controller asks of the window's documents (the workspace).
class RunHost {
 public:
  virtual ~RunHost() = default;
  virtual UserInterface& Ui() = 0;
  // Locks the grids at the start (true) and unlocks them at the end of a computation.
  virtual void HoldEdits(bool held) = 0;
  // A search changed `what`: the views that show it follow.
  virtual void Follow(FitChange what) = 0;
  // A note goes to the message pane, anything else into a box.
  virtual void Say(Severity severity, const std::string& text) = 0;
  // The objective type or the Optimize button's search was chosen: the next session starts
  // with them.
  virtual void RememberChoices(TObjectiveKind objective, TOperation search) = 0;
};

class RunController : public SearchState, private RunLoop {
 public:
  RunController(FitProblem& problem, TParameterRecord& table, RunHost& host)
      : ground_{problem, table, *this, *this}, host_(host) {}
  RunController(const RunController&) = delete;
  RunController& operator=(const RunController&) = delete;

  // Where the searches run: these numbers over the workspace's problem and table, on the
  // window's stop loop.
  Search& Ground() { return ground_; }

  // --- running
  // Which long computation runs; any code may end it by setting kIdle.
  std::uint8_t OperationMode = kIdle;
  // The stop loop: OperationMode := mode, then one step and the pending window events,
  // again and again until something sets OperationMode to kIdle. Meanwhile the running
  // panel is refreshed a few times a second.
  template <class Step>
  void RunOperation(std::uint8_t mode, Step&& step) {
    OperationMode = mode;
    ComputationScope running(*this);
    RunningPanel panel(*this);
    RunningPanel* outer = panel_;
    panel_ = &panel;
    do {
      step();
      Serve();
    } while (OperationMode != kIdle);
    panel_ = outer;
  }
  // A computation runs: the grids are locked and the window holds back what would change its
  // ground.
  bool Running() const { return computationDepth_ > 0; }
  // The running panel's text for the operation in OperationMode and its model calls so far.
  std::string RunningText(std::int64_t calls) const;
  // The Stop command: hides the progress window and ends the running computation.
  void Stop();
  // A close of the window while a computation runs asks first; false when the user keeps it.
  bool AskToStop();
  // The close is confirmed: no further search starts, and the window closes once the
  // outermost computation has returned. True when it may close at once.
  bool ConfirmClose();
  bool CloseConfirmed() const { return closeConfirmed_; }
  // The window closes when the running computation returns.
  bool ClosePending() const { return closePending_; }

  // Marks a computation running for its lifetime; a close waits until the outermost one has
  // returned.
  class ComputationScope {
   public:
    explicit ComputationScope(RunController& run);
    ~ComputationScope();
    ComputationScope(const ComputationScope&) = delete;
    ComputationScope& operator=(const ComputationScope&) = delete;

   private:
    RunController& run_;
  };

  // --- what the window shows of the searches
  // What the Flow page shows of the searches and of the F-limit search.
  const FlowTexts& Flow() const { return flowTexts_; }
  // A new model or data set: no best value, no counters, no progress of an earlier search,
  // and the Flow page's figures gone with them.
  void Forget();
  // "Objective Function Type": takes effect at the next step of any search.
  void SetObjectiveFunc(TObjectiveKind kind);

  // --- commands
  // The Optimize tool button runs the search chosen last from its menu (Optimize at start).
  TOperation OptimizeButtonSearch = kRandomSearch;
  void ChooseOptimizeButtonSearch(TOperation search);
  void OptimizeButtonClick();
  // Standard errors and correlations at Value; every StdErrValid follows the outcome. False
  // after a message; no numbers are kept then.
  bool ComputeStdErrors();
  // "Standard &Errors": the "Std. Error" column of the details grid.
  void StdErr();
  // "Normalized &Covariances": the correlations and their determinant; StdError is kept.
  void CovariancesAction();
  // "&F-Limit" for a cell of the details grid: its row's parameter, the side of its column.
  // True when the search ran without an error. The command runs as one computation.
  bool FLimit(int col, int row, const SearchOptions& options = {});
  // Multi-start: the starts of `options`, each a local fit of `fit` in a child process,
  // with the stop loop's panel and Stop; the best start's values become the table's and the
  // sorted results Result.Starts. Says how it ended on the message pane.
  void MultiStart(const FitOptions& fit, const MultiStartOptions& options);
  // "&All F-Limits", as one computation however many sides it searches.
  bool AllFLimitsAction(const SearchOptions& options = {});

 private:
  // The running panel of one run: what runs, its model calls and best objective.
  class RunningPanel {
   public:
    explicit RunningPanel(RunController& run);
    ~RunningPanel();  // the run has ended: the panel says nothing more
    RunningPanel(const RunningPanel&) = delete;
    RunningPanel& operator=(const RunningPanel&) = delete;
    // Rewrites the panel when a quarter of a second has passed since it last did.
    void Tick();

   private:
    RunController& run_;
    std::int64_t solutionsBefore_;
    std::chrono::steady_clock::time_point shown_;
  };

  // The stop loop the searches step on.
  void RunSteps(TOperation mode, const std::function<void()>& step) override {
    RunOperation(mode, step);
  }
  std::uint8_t& Mode() override { return OperationMode; }
  bool Closing() const override { return closeConfirmed_; }
  void Changed(FitChange what) override;
  void Serve() override;
  void Tell(Severity severity, const std::string& text) override { host_.Say(severity, text); }

  Search ground_;
  RunHost& host_;
  FlowTexts flowTexts_;
  int computationDepth_ = 0;
  RunningPanel* panel_ = nullptr;  // of the run in progress
  bool closePending_ = false;
  bool closeConfirmed_ = false;
  int startsDone_ = 0, startsFailed_ = 0, startsTotal_ = 0;  // of the running multi-start
  double startsBest_ = 0;
};

}  // namespace zelk
