// The experiment design: the command and the criterion of one candidate set.

#include "base/format.h"
#include "base/messages.h"
#include "workspace/workspace.h"

namespace zelk {

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
  if (!FitsInMemory(MeasuredData.YData.EventCount + count, MeasuredData.XData.IndepCount,
                    MeasuredData.YData.DepCount)) {
    ShowError(FillPlaceholders(
        msg::kDesignTooLarge, {std::to_string(MeasuredData.YData.EventCount), std::to_string(count),
                               std::to_string(kMaxEventCount)}));
    return false;
  }
  DesignSearch(estimation_.Ground(), count, min, max, options);
  RefreshDesignRanges();  // the last merged set on the Debug page
  if (estimation_.Result.DesignPoints.empty()) {
    // Stopped before any candidate set, or failed with its own message: nothing to add.
    if (estimation_.Result.Design.Reason == SearchEnd::Finished || estimation_.Result.Design.Reason == SearchEnd::Calls)
      ShowError(msg::kDesignNothing);
    return false;
  }
  chart_.DesignPoints = {};
  for (int i = 0; i < count; ++i) chart_.DesignPoints[i + 1] = estimation_.Result.DesignPoints[i];
  chart_.DesignPointCount = count;
  ui_.ShowPage(Page::FitChart);
  chart_.DesignModeChecked = true;
  ui_.Repaint(View::FitChart);
  return estimation_.Result.Design.Reason != SearchEnd::SolveFailed;
}

}  // namespace zelk
