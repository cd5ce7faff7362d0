// The workspace as the run controller's host: what the window shows of a search.

#include "base/format.h"
#include "base/messages.h"
#include "workspace/workspace.h"

#include <unistd.h>

#include <algorithm>

namespace zelk {

void Workspace::SetParameterValue(int i, double v) {
  if (i < 1 || i > Room(Parameters)) return;
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

void Workspace::RememberChoices(TObjectiveKind objective, TOperation search) {
  Prefs.Objective = static_cast<std::uint8_t>(objective);
  Prefs.LastSearch = search;
}

void Workspace::Follow(FitChange what) {
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

void Workspace::Say(Severity severity, const std::string& text) {
  if (severity == Severity::Note)
    Log.AddMessage(text);
  else
    boxes_(severity, text);
}

void Workspace::FLimitAction() {
  const auto [column, row] = DetailsCell();
  estimation_.FLimit(column, row);
}

void Workspace::MultiStartAction() {
  if (Model.LibFileName.empty()) {
    ShowError(kNoLibrary);
    return;
  }
  FitOptions fit;
  fit.Search = kLMSearch;
  fit.Tolerances = LMTolerancesOf(Prefs);
  fit.Objective = problem_.ObjectiveKind;
  MultiStartOptions options;
  options.Count = Prefs.MultiStarts;
  options.Seed = static_cast<std::uint64_t>(Prefs.MultiStartSeed);
  options.Jobs = std::max(1, static_cast<int>(::sysconf(_SC_NPROCESSORS_ONLN)));
  estimation_.MultiStart(fit, options);
  RefreshParameterGrids();
  ui_.Repaint(View::ParameterGrids);
  ui_.Repaint(View::FitChart);
}

}  // namespace zelk
