// The residual autocorrelation test: the command and the graph's paint.

#include "base/messages.h"
#include "presentation/residual_graph.h"
#include "workspace/workspace.h"

namespace zelk {

bool Workspace::RunResidualTest(bool reportFailure) {
  if (MeasuredData.YData.EventCount < kResidualTestMinEvents) return false;
  // The solver's own box for a missing library must not come up inside a paint either.
  if (!reportFailure && Model.LibFileName.empty()) return false;
  if (problem_.Solve(Parameters.Value) != SolveResult::Solved) {
    if (reportFailure) ShowError(msg::kInitialSolveFailed);
    return false;
  }
  return ComputeResidualTest(MeasuredData.YData, ResidualTest);
}

void Workspace::ResidualAction() {
  if (MeasuredData.YData.EventCount < kResidualTestMinEvents) {
    ShowError(msg::kNotEnoughEvents);
    return;
  }
  if (!RunResidualTest(true)) return;
  ResidualGrid = ResidualGridTexts(ResidualTest);
  // The rows are the responses: headed by their names where the model gives them.
  for (std::size_t r = 1; r < ResidualGrid.size() && r <= Names.Responses.size(); ++r)
    ResidualGrid[r][0] = Names.Responses[r - 1];
  residualFailureTold_ = false;
  ui_.Repaint(View::Residuals);
  ui_.ShowPage(Page::Autocorrelation);
}

bool Workspace::PaintResidualGraph(Canvas& canvas, int width) {
  if (ResidualGrid.empty()) return true;  // no test yet: an empty graph
  if (!RunResidualTest(false)) {
    // A box from inside a paint would be painted over and raised again by every repaint.
    const bool tell = !residualFailureTold_;
    residualFailureTold_ = true;
    return !tell;
  }
  residualFailureTold_ = false;
  DrawResidualBars(canvas, width, MeasuredData.YData, ResidualTest.MaxAbsResidual,
                   Preferences.Series, Names);
  return true;
}

}  // namespace zelk
