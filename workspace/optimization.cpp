// The optimization driver and the two searches it runs step by step: the random-direction
// search (Optimize) and the Luus-Jaakola region search (Optimize LJ).

#include "estimation/random.h"
#include "estimation/searches.h"
#include "model/operation.h"
#include "workspace/format.h"
#include "workspace/messages.h"
#include "workspace/workspace.h"

namespace zelk {

double Workspace::EvaluateObjective() {
  return Objective(ObjectiveFunc, MeasuredData.YData, ResponseSS);
}

void Workspace::SetObjectiveFunc(TObjectiveKind kind) {
  ObjectiveFunc = kind;
  ObjectiveReady = false;
  LimitReady = false;
  ui_.Repaint(View::Flow);
}

void Workspace::SetParameterValue(int i, double v) {
  if (i < 1 || i > kMaxParams) return;
  Parameters.Value[i] = v;
  Parameters.TrialValue[i] = v;
  ObjectiveReady = false;
  LimitReady = false;
  CurveReady = false;
  ui_.Repaint(View::FitChart);
}

void Workspace::ShowObjective(double value) {
  BestObjective = value;
  CurveReady = false;
  ui_.Repaint(View::FitChart);
  LimitReady = false;
  ResetFLimits(Parameters);
  FlowObjectiveText = FormatGeneral(value, 15);
  FlowTotalText = std::to_string(TotalCalls);
  FlowSuccessfulText = std::to_string(SuccessfulCalls);
  ui_.Repaint(View::Flow);
}

bool Workspace::InitialEvaluation() {
  if (ObjectiveReady) return true;
  if (SolveModel(Parameters.Value, MeasuredData) != 0) {
    ShowError(msg::kInitialSolveFailed);
    EndOperation(OperationMode);
    return false;
  }
  ShowObjective(EvaluateObjective());
  ObjectiveReady = true;
  return true;
}

namespace {

// A failed trial is still compared, on whatever values the failed solution left.
void ReportFailedTrial(Workspace& ws) {
  ++ws.FailedSolves;
  if (ws.Prefs.ShowIntegrationErrors)
    ws.Log.AddMessage(std::string(msg::kSolveFailed) + " [" + std::to_string(ws.FailedSolves) +
                      "]");
}

}  // namespace

void Workspace::ShowNewValues() {
  paramGrids_.RefreshValueColumn(RefreshRows::UpToCount);
  paramGrids_.RefreshDetails({1}, RefreshRows::UpToCount);
  ui_.Repaint(View::ParameterGrids);
}

void Workspace::OptimizeStep() {
  if (!InitialEvaluation()) return;
  RandomDirectionTrial(Parameters, TotalCalls, SuccessfulCalls);
  if (SolveModel(Parameters.TrialValue, MeasuredData) != 0) ReportFailedTrial(*this);
  TrialObjective = EvaluateObjective();
  if (TrialObjective < BestObjective) {
    Parameters.Value = Parameters.TrialValue;
    ShowObjective(TrialObjective);
    ++SuccessfulCalls;
    ShowNewValues();
  }
  ++TotalCalls;
}

void Workspace::LJStep() {
  if (!ObjectiveReady) {
    if (SolveModel(Parameters.Value, MeasuredData) != 0) {
      ShowError(msg::kInitialSolveFailed);
      EndOperation(OperationMode);
      return;
    }
    ShowObjective(EvaluateObjective());
    SearchBestObjective = EvaluateObjective();
    ObjectiveReady = true;
  }
  RegionTrial(Parameters);
  if (SolveModel(Parameters.TrialValue, MeasuredData) != 0) ReportFailedTrial(*this);
  TrialObjective = EvaluateObjective();
  if (TrialObjective < SearchBestObjective) {
    Parameters.SearchBest = Parameters.TrialValue;
    SearchBestObjective = TrialObjective;
  }
  if (TotalCalls % kRegionBlockCalls == 0) {
    if (BestObjective > SearchBestObjective) {
      ShowObjective(SearchBestObjective);
      Parameters.Value = Parameters.SearchBest;
      ResetFLimits(Parameters);
      ShowNewValues();
    }
    ++SuccessfulCalls;
    ShrinkRegions(Parameters);
  }
  ++TotalCalls;
}

void Workspace::RunOptimizer(std::uint8_t code) {
  RunOperation(code, [this] {
    switch (OperationMode) {
      case kRandomSearch:
        OptimizeStep();
        break;
      case kLJSearch:
        LJStep();
        break;
      default:
        // Gauss-Newton, WL and the limit search join here as they are built.
        ShowError(msg::kNotImplemented);
        EndOperation(OperationMode);
        break;
    }
  });
}

void Workspace::OptimizeAction() {
  ui_.ShowPage(Page::Flow);
  Parameters.InitialValue = Parameters.Value;
  RunOptimizer(kRandomSearch);
}

void Workspace::ChooseOptimizeButtonSearch(std::uint8_t search) {
  OptimizeButtonSearch = search;
  ui_.Repaint(View::Flow);
  OptimizeButtonClick();
}

void Workspace::OptimizeButtonClick() {
  if (OptimizeButtonSearch == kLJSearch)
    OptimizeLJAction();
  else
    OptimizeAction();
}

void Workspace::OptimizeLJAction() {
  ui_.ShowPage(Page::Flow);
  for (int i = 1; i <= Parameters.Count; ++i) Parameters.Region[i] = Parameters.Value[i];
  // A run started while the best value is current compares with it, not with what an
  // earlier region search left (or 0, after none): otherwise no trial could ever win.
  if (ObjectiveReady) {
    SearchBestObjective = BestObjective;
    Parameters.SearchBest = Parameters.Value;
  }
  RunOptimizer(kLJSearch);
}

}  // namespace zelk
