// The experiment design: the command and the criterion of one candidate set.

#include "base/format.h"
#include "base/messages.h"
#include "estimation/objective.h"
#include "model/jacobian.h"
#include "workspace/workspace.h"

namespace zelk {

std::optional<double> Workspace::DesignCriterion(const std::vector<double>& candidates) {
  std::vector<int> rows;
  if (!MergeDesignData(MeasuredData, candidates, DesignData, rows)) return std::nullopt;
  RefreshDesignRanges();
  // A failed solution is not tested here: the design Jacobian solves again and says so.
  SolveModel(Parameters.Value, DesignData);
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
  const int count = DesignDialog.Count();
  if (MeasuredData.YData.EventCount + count > kMaxEvents) {
    ShowError(FillPlaceholders(
        msg::kDesignTooLarge, {std::to_string(MeasuredData.YData.EventCount), std::to_string(count),
                               std::to_string(kMaxEvents)}));
    return;
  }
  ui_.ShowProgress(true);
  estimation_.DesignNextPoints(count, DesignDialog.Min(), DesignDialog.Max());
  ui_.ShowProgress(false);
  if (estimation_.DesignResult.empty()) return;  // nothing raised the determinant above 0
  chart_.DesignPoints = {};
  for (int i = 0; i < count; ++i) chart_.DesignPoints[i + 1] = estimation_.DesignResult[i];
  chart_.DesignPointCount = count;
  ui_.ShowPage(Page::FitChart);
  chart_.DesignModeChecked = true;
  ui_.Repaint(View::FitChart);
}

}  // namespace zelk
