// The workspace as the estimation session's host: solutions of the measured data, the stop
// loop and what the window shows of a search.

#include "base/format.h"
#include "base/messages.h"
#include "model/jacobian.h"
#include "workspace/workspace.h"

namespace zelk {

void Workspace::SetParameterValue(int i, double v) {
  if (i < 1 || i > kMaxParams) return;
  Parameters.Value[i] = v;
  Parameters.TrialValue[i] = v;
  estimation_.ObjectiveReady = false;
  estimation_.LimitReady = false;
  chart_.CurveReady = false;
  ui_.Repaint(View::FitChart);
}

SolveResult Workspace::SolveMeasured(const T20Vector& parameters, EarlyStop stop) {
  return SolveModel(parameters, MeasuredData, stop);
}

bool Workspace::GaussNewtonCorrection(const T20Vector& parameters, int count, T20Vector& delta) {
  SolveContext ctx = MakeSolveContext();
  return GaussNewtonStep(ctx, parameters, count, MeasuredData, delta);
}

const TModel* Workspace::NormalInverse(const T20Vector& parameters, int count, bool& singular) {
  SolveContext ctx = MakeSolveContext();
  const bool inverted = ComputeNormalInverse(ctx, parameters, count, MeasuredData, &singular);
  return inverted || singular ? &Model : nullptr;
}

void Workspace::StdErrorsChanged() {
  paramGrids_.RefreshDetails({4}, RefreshRows::UpToCount);
  ui_.Repaint(View::ParameterGrids);
  ui_.ShowPage(Page::ParameterDetails);
}

void Workspace::CovariancesChanged() {
  CovarGrid.Show(estimation_.Statistics, Parameters.Count);
  ui_.Repaint(View::Covariances);
  ui_.ShowPage(Page::Covariances);
}

void Workspace::ReportFailure(const std::string& line) {
  if (Prefs.ShowIntegrationErrors) Log.AddMessage(line);
}

void Workspace::ShowFlowPage() { ui_.ShowPage(Page::Flow); }

void Workspace::FlowChanged() { ui_.Repaint(View::Flow); }

void Workspace::BestChanged() {
  chart_.CurveReady = false;
  ui_.Repaint(View::FitChart);
}

void Workspace::ValuesChanged() {
  paramGrids_.RefreshValueColumn(RefreshRows::UpToCount);
  paramGrids_.RefreshDetails({1}, RefreshRows::UpToCount);
  ui_.Repaint(View::ParameterGrids);
}

int Workspace::ObservationCount() {
  return CountResiduals(Model.DifEqCount, MeasuredData.XData, MeasuredData.YData);
}

void Workspace::LimitsChanged() {
  paramGrids_.RefreshDetails({5, 6}, RefreshRows::UpToCount);
  ui_.Repaint(View::ParameterGrids);
}

void Workspace::ShowLimitPages() {
  ui_.ShowPage(Page::ParameterDetails);
  ui_.ShowPage(Page::Flow);
  ui_.ShowPage(Page::FTest);
}

void Workspace::ShowInformation(const std::string& text) {
  ui_.ShowMessage(MessageKind::Information, text, Buttons::Ok);
}

// The command runs as one computation, however many sides it searches.
void Workspace::FLimitAction() {
  ComputationScope running(*this);
  const auto [column, row] = DetailsCell();
  estimation_.FLimit(column, row);
}

void Workspace::AllFLimitsAction() {
  ComputationScope running(*this);
  estimation_.AllFLimits();
}

std::string Workspace::RunningText(std::int64_t calls) const {
  const EstimationSession& e = estimation_;
  const std::string count = std::to_string(calls);
  switch (OperationMode) {
    case kRandomSearch:
    case kGaussNewton:
    case kWLSearch:
    case kLJSearch: {
      const char* name = OperationMode == kRandomSearch  ? "Optimize"
                         : OperationMode == kGaussNewton ? "Optimize GN"
                         : OperationMode == kWLSearch    ? "Optimize WL"
                                                         : "Optimize LJ";
      return FillPlaceholders(msg::kRunningSearch,
                              {name, count, FormatGeneral(e.BestObjective, 8)});
    }
    case kFLimitSearch:
      return FillPlaceholders(msg::kRunningFLimit,
                              {e.FTestLimitText, std::to_string(e.LimitParam), count,
                               FormatGeneral(e.ProfileMinObjective, 8)});
    case kDesign:
      return FillPlaceholders(msg::kRunningDesign, {count, FormatGeneral(e.DesignBest, 8)});
    default:
      return {};
  }
}

}  // namespace zelk
