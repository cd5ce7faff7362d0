// The workspace as the estimation session's host: solutions of the measured data, the stop
// loop and what the window shows of a search.

#include "base/format.h"
#include "base/messages.h"
#include "workspace/workspace.h"

namespace zelk {

void Workspace::SetParameterValue(int i, double v) {
  if (i < 1 || i > kMaxParams) return;
  Parameters.Value[i] = v;
  Parameters.TrialValue[i] = v;
  Invalidate(Stale::Everything);
}

bool Workspace::SetLMTolerance(int which, const std::string& text) {
  double* fields[] = {&Prefs.LMFunctionTolerance, &Prefs.LMParameterTolerance,
                      &Prefs.LMGradientTolerance};
  const auto value = ParseNumber(text);
  if (which < 0 || which > 2 || !value || !(*value >= kMinLMTolerance && *value <= kMaxLMTolerance)) {
    ShowError(msg::kLMToleranceRequired);
    return false;
  }
  *fields[which] = *value;
  return true;
}

void Workspace::Changed(FitChange what) {
  if (flowTexts_.Follow(what, estimation_)) ui_.Repaint(View::Flow);
  switch (what) {
    case FitChange::Busy:
    case FitChange::Idle:
      ui_.ShowProgress(what == FitChange::Busy);
      break;
    case FitChange::StdErrors:
      paramGrids_.RefreshDetails({4}, RefreshRows::UpToCount);
      ui_.Repaint(View::ParameterGrids);
      ui_.ShowPage(Page::ParameterDetails);
      break;
    case FitChange::Covariances:
      CovarGrid.Show(estimation_.Result.Statistics, Parameters.Count);
      ui_.Repaint(View::Covariances);
      ui_.ShowPage(Page::Covariances);
      break;
    case FitChange::FlowStarted:
      ui_.ShowPage(Page::Flow);
      break;
    case FitChange::Flow:
      ui_.Repaint(View::Flow);
      break;
    case FitChange::Best:
      Invalidate(Stale::Curve);
      break;
    case FitChange::Values:
      paramGrids_.RefreshValueColumn(RefreshRows::UpToCount);
      paramGrids_.RefreshDetails({1}, RefreshRows::UpToCount);
      ui_.Repaint(View::ParameterGrids);
      break;
    case FitChange::Limits:
      paramGrids_.RefreshDetails({5, 6}, RefreshRows::UpToCount);
      ui_.Repaint(View::ParameterGrids);
      ui_.Repaint(View::Profiles);
      break;
    case FitChange::FLimitsStarted:
      ui_.ShowPage(Page::ParameterDetails);
      ui_.ShowPage(Page::Flow);
      ui_.ShowPage(Page::FTest);
      ui_.Repaint(View::Profiles);
      break;
    case FitChange::FLimitSide:
    case FitChange::LimitObjective:
    case FitChange::ProfileMinimum:
    case FitChange::Descent:
      break;  // the Flow page's texts, followed above
    case FitChange::DesignTrial: {
      // The Debug page follows a few times a second: formatting the merged set every
      // iteration would cost more than the merge itself.
      const auto now = std::chrono::steady_clock::now();
      if (now - debugShown_ >= std::chrono::milliseconds(200)) {
        RefreshDesignRanges();
        debugShown_ = now;
      }
      break;
    }
  }
}

void Workspace::Serve() {
  if (panel_) panel_->Tick();
  ui_.ProcessEvents();
}

void Workspace::Tell(Severity severity, const std::string& text) {
  if (severity == Severity::Note)
    Log.AddMessage(text);
  else
    boxes_(severity, text);
}

// The command runs as one computation, however many sides it searches.
void Workspace::FLimitAction() {
  ComputationScope running(*this);
  const auto [column, row] = DetailsCell();
  estimation_.FLimit(column, row);
}

void Workspace::AllFLimitsAction() {
  ComputationScope running(*this);
  AllFLimits(estimation_.Ground());
}

std::string Workspace::RunningText(std::int64_t calls) const {
  const SearchState& e = estimation_;
  const std::string count = std::to_string(calls);
  switch (OperationMode) {
    case kRandomSearch:
    case kGaussNewton:
    case kWLSearch:
    case kLJSearch:
    case kLMSearch:
      // Until the start is solved there is no best of this model and data.
      return FillPlaceholders(
          msg::kRunningSearch, {SearchName(static_cast<TOperation>(OperationMode)), count,
                                e.ObjectiveReady ? FormatGeneral(e.BestObjective, 8) : "-"});
    case kFLimitSearch:
      return FillPlaceholders(msg::kRunningFLimit,
                              {flowTexts_.Limit, std::to_string(e.LimitParam), count,
                               FormatGeneral(e.ProfileMinObjective, 8)});
    case kDesign:
      return FillPlaceholders(msg::kRunningDesign, {count, FormatGeneral(e.Result.DesignDeterminant, 8)});
    default:
      return {};
  }
}

}  // namespace zelk
