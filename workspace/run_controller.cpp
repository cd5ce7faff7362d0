#include "workspace/run_controller.h"

#include <cmath>

#include "base/format.h"
#include "base/messages.h"
#include "estimation/fit.h"

namespace zelk {

namespace {

constexpr int kLowerColumn = 5, kUpperColumn = 6;

}  // namespace

// ---------------------------------------------------------------- running

RunController::ComputationScope::ComputationScope(RunController& run) : run_(run) {
  if (run_.computationDepth_++ == 0) run_.host_.HoldEdits(true);
}

RunController::ComputationScope::~ComputationScope() {
  if (--run_.computationDepth_ > 0) return;
  run_.host_.HoldEdits(false);
  if (run_.closePending_) {
    run_.closePending_ = false;
    run_.host_.Ui().CloseMainWindow();
  }
}

RunController::RunningPanel::RunningPanel(RunController& run)
    : run_(run),
      solutionsBefore_(run.ground_.Problem.Stats.Solutions),
      shown_(std::chrono::steady_clock::now()) {
  run_.host_.Ui().SetStatusPanel(kRunningPanel, run_.RunningText(0));
}

RunController::RunningPanel::~RunningPanel() {
  run_.host_.Ui().SetStatusPanel(kRunningPanel, "");
}

void RunController::RunningPanel::Tick() {
  const auto now = std::chrono::steady_clock::now();
  if (now - shown_ < std::chrono::milliseconds(250) || run_.OperationMode == kIdle) return;
  shown_ = now;
  UserInterface& ui = run_.host_.Ui();
  ui.SetStatusPanel(kRunningPanel,
                    run_.RunningText(run_.ground_.Problem.Stats.Solutions - solutionsBefore_));
  ui.Repaint(View::Flow);  // the progress plot grows between two improvements
}

std::string RunController::RunningText(std::int64_t calls) const {
  const std::string count = std::to_string(calls);
  // Until the start is solved there is no best of this model and data.
  if (IsOptimizeSearch(OperationMode))
    return FillPlaceholders(
        msg::kRunningSearch, {SearchName(static_cast<TOperation>(OperationMode)), count,
                              ObjectiveReady ? FormatGeneral(BestObjective, 8) : "-"});
  switch (OperationMode) {
    case kFLimitSearch:
      return FillPlaceholders(msg::kRunningFLimit,
                              {flowTexts_.Limit, std::to_string(LimitParam), count,
                               FormatGeneral(ProfileMinObjective, 8)});
    case kDesign:
      return FillPlaceholders(msg::kRunningDesign,
                              {count, FormatGeneral(Result.DesignDeterminant, 8)});
    case kMultiStart:
      return FillPlaceholders(msg::kRunningMultiStart,
                              {std::to_string(startsDone_), std::to_string(startsTotal_),
                               std::to_string(startsFailed_),
                               startsDone_ > startsFailed_ ? FormatGeneral(startsBest_, 8) : "-"});
    default:
      return {};
  }
}

void RunController::MultiStart(const FitOptions& fit, const MultiStartOptions& options) {
  ComputationScope running(*this);
  RunningPanel panel(*this);
  RunningPanel* outer = panel_;
  panel_ = &panel;
  OperationMode = kMultiStart;
  startsDone_ = startsFailed_ = 0;
  startsTotal_ = options.Only.empty() ? options.Count : static_cast<int>(options.Only.size());
  startsBest_ = HUGE_VAL;
  Changed(FitChange::FlowStarted);
  FitObserver quiet;
  std::vector<StartResult> results = RunStarts(
      fit, ground_.Problem, ground_.Table, options, quiet,
      [&](const StartResult& r) {
        ++startsDone_;
        if (r.Failed()) ++startsFailed_;
        else startsBest_ = std::min(startsBest_, r.Objective);
      },
      [&] {
        Serve();
        return OperationMode != kIdle;
      });
  OperationMode = kIdle;
  panel_ = outer;
  Result.Starts = std::move(results);
  const std::vector<StartResult>& sorted = Result.Starts;
  if (sorted.empty() || sorted.front().Failed()) {
    host_.Say(Severity::Note, msg::kMultiStartNothing);
    Changed(FitChange::Flow);
    return;
  }
  TParameterRecord& table = ground_.Table;
  for (int i = 1; i <= table.Count; ++i)
    table.Value[i] = table.TrialValue[i] = sorted.front().Values[static_cast<std::size_t>(i - 1)];
  // The best objective is of the best start's values; the problem holds them solved.
  ground_.Problem.Solve(table.Value);
  BestObjective = ground_.Problem.Objective();
  ObjectiveReady = true;
  host_.Say(Severity::Note,
            FillPlaceholders(msg::kMultiStartEnded,
                             {std::to_string(startsDone_), std::to_string(startsTotal_),
                              std::to_string(startsFailed_), FormatGeneral(sorted.front().Objective, 10),
                              std::to_string(sorted.front().Start),
                              std::to_string(CountReachingBest(sorted))}));
  Changed(FitChange::Values);
  Changed(FitChange::Best);
  Changed(FitChange::Flow);
}

void RunController::Stop() {
  host_.Ui().ShowProgress(false);
  OperationMode = kIdle;
}

bool RunController::AskToStop() {
  if (OperationMode == kIdle) return true;
  if (host_.Ui().ShowMessage(MessageKind::Warning, msg::kTerminateProcess, Buttons::YesNo) !=
      Answer::Yes)
    return false;
  OperationMode = kIdle;
  return true;
}

bool RunController::ConfirmClose() {
  closeConfirmed_ = true;
  if (computationDepth_ == 0) return true;
  closePending_ = true;
  return false;
}

void RunController::Changed(FitChange what) {
  if (flowTexts_.Follow(what, *this)) host_.Ui().Repaint(View::Flow);
  host_.Follow(what);
}

void RunController::Serve() {
  if (panel_) panel_->Tick();
  host_.Ui().ProcessEvents();
}

// ---------------------------------------------------------------- the searches' numbers

void RunController::Forget() {
  BestObjective = 0;
  ObjectiveReady = LimitReady = false;
  TotalCalls = SuccessfulCalls = 1;
  Result.Progress.clear();
  Result.ProfileProgress.clear();
  Result.Profiles.clear();
  Changed(FitChange::Flow);
  flowTexts_.ForgetBest();
}

void RunController::SetObjectiveFunc(TObjectiveKind kind) {
  ground_.Problem.ObjectiveKind = kind;
  host_.RememberChoices(kind, OptimizeButtonSearch);
  ObjectiveReady = false;
  LimitReady = false;
  Changed(FitChange::Flow);
}

// ---------------------------------------------------------------- commands

bool RunController::ComputeStdErrors() {
  TParameterRecord& table = ground_.Table;
  const std::string error = Statistics(ground_.Problem, table, Result.Statistics);
  const bool ok = error.empty();
  for (int i = 1; i <= Room(table); ++i) table.StdErrValid[i] = ok && i <= table.Count;
  if (!ok) {
    Result.Statistics = {};
    // A Jacobian that failed was said by the problem itself.
    if (error != kJacobianFailed) Tell(Severity::Error, error);
  }
  return ok;
}

void RunController::StdErr() {
  Changed(FitChange::Busy);
  if (ComputeStdErrors()) ground_.Table.StdError = Result.Statistics.StdError;
  Changed(FitChange::Idle);
  Changed(FitChange::StdErrors);
}

void RunController::CovariancesAction() {
  Changed(FitChange::Busy);
  const bool ok = ComputeStdErrors();
  Changed(FitChange::Idle);
  if (ok) Changed(FitChange::Covariances);
}

bool RunController::FLimit(int col, int row, const SearchOptions& options) {
  ComputationScope running(*this);
  Changed(FitChange::FLimitsStarted);
  if (row < 1 || row > ground_.Table.Count || (col != kLowerColumn && col != kUpperColumn)) {
    Tell(Severity::Error, msg::kLimitCellRequired);
    return false;
  }
  Result.LimitSides = {FLimitSide(ground_, row, col == kLowerColumn, options)};
  const SearchEnd end = Result.LimitSides.back().Reason;
  // A search that could not run, or whose probe failed, has said so: no success after it.
  if (end == SearchEnd::InitialSolveFailed || end == SearchEnd::SolveFailed) return false;
  if (!closeConfirmed_) TellLimitsDone(ground_);
  return true;
}

bool RunController::AllFLimitsAction(const SearchOptions& options) {
  ComputationScope running(*this);
  return AllFLimits(ground_, options);
}

void RunController::ChooseOptimizeButtonSearch(TOperation search) {
  OptimizeButtonSearch = search;
  host_.RememberChoices(ground_.Problem.ObjectiveKind, search);
  Changed(FitChange::Flow);
  OptimizeButtonClick();
}

void RunController::OptimizeButtonClick() {
  const SearchKind* kind = FindSearch(OptimizeButtonSearch);
  if (!kind) kind = &Searches().front();
  SearchOptions options;
  options.Search = kind->Search;
  options.Tolerances = LMTolerancesOf(ground_.Problem.Prefs());
  kind->Run(ground_, options);
}

}  // namespace zelk
