// The experiment design: the command and the criterion of one candidate set.

#include <chrono>

#include "base/format.h"
#include "base/messages.h"
#include "estimation/objective.h"
#include "model/jacobian.h"
#include "workspace/workspace.h"

namespace zelk {

std::optional<double> Workspace::DesignCriterion(const std::vector<double>& candidates) {
  std::vector<int> rows;
  if (!MergeDesignData(MeasuredData, candidates, DesignData, rows)) return std::nullopt;
  // The Debug page follows a few times a second: formatting the merged set every iteration
  // would cost more than the merge itself.
  const auto now = std::chrono::steady_clock::now();
  if (now - debugShown_ >= std::chrono::milliseconds(200)) {
    RefreshDesignRanges();
    debugShown_ = now;
  } else {
    ComputeRanges(DesignData);
  }
  // A failed solution is not tested here: the design Jacobian solves again and says so. Only
  // a missing library, which the solver has just reported, ends the design at once.
  if (SolveModel(Parameters.Value, DesignData) == SolveResult::NoLibrary) return std::nullopt;
  for (int row : rows) DesignData.YData.M[row] = DesignData.YData.C[row];
  SolveContext ctx = MakeSolveContext();
  if (!ComputeDesignNormalMatrix(ctx, Parameters.Value, Parameters.Count, DesignData.XData,
                                 DesignData.YData))
    return std::nullopt;
  return Determinant(Model.NormalMatrix, Parameters.Count);
}

void Workspace::DesignPointAction() {
  if (MeasuredData.XData.IndepCount >= 2) {
    ShowError(msg::kMultivariableDesign);
    return;
  }
  DesignDialog.MinText = FormatSignificant(MeasuredData.XData.Range[1], 6);
  DesignDialog.MaxText = FormatSignificant(MeasuredData.XData.Range[0], 6);
  DesignDialog.NrText = std::to_string(1);  // a literal trips a false -Wrestrict of GCC 12
  if (!ui_.RunDesignDialog(DesignDialog)) return;
  ui_.ShowProgress(true);
  RunDesign(DesignDialog.Count(), DesignDialog.Min(), DesignDialog.Max(), {});
  ui_.ShowProgress(false);
}

bool Workspace::RunDesign(int count, double min, double max, const SearchOptions& options) {
  if (MeasuredData.XData.IndepCount >= 2) {
    ShowError(msg::kMultivariableDesign);
    return false;
  }
  if (MeasuredData.YData.EventCount + count > kMaxEvents) {
    ShowError(FillPlaceholders(
        msg::kDesignTooLarge, {std::to_string(MeasuredData.YData.EventCount), std::to_string(count),
                               std::to_string(kMaxEvents)}));
    return false;
  }
  LastDesign = estimation_.DesignNextPoints(count, min, max, options);
  RefreshDesignRanges();  // the last merged set on the Debug page
  if (estimation_.DesignResult.empty()) {
    // Stopped before any candidate set, or failed with its own message: nothing to add.
    if (LastDesign.Reason == SearchEnd::Finished || LastDesign.Reason == SearchEnd::Calls)
      ShowError(msg::kDesignNothing);
    return false;
  }
  chart_.DesignPoints = {};
  for (int i = 0; i < count; ++i) chart_.DesignPoints[i + 1] = estimation_.DesignResult[i];
  chart_.DesignPointCount = count;
  ui_.ShowPage(Page::FitChart);
  chart_.DesignModeChecked = true;
  ui_.Repaint(View::FitChart);
  return LastDesign.Reason != SearchEnd::SolveFailed;
}

}  // namespace zelk
