#include "estimation/fit_problem.h"

#include "estimation/experiment_design.h"

namespace zelk {

SolveContext FitProblem::Context(EarlyStop stop) {
  SolveContext ctx{model_, measured_, Say, log_, Stats};
  ctx.Stop = stop;
  ctx.ShowIntegrationErrors = prefs_.ShowIntegrationErrors;
  ctx.TimeLimit = prefs_.ModelTimeLimit;
  if (prefs_.Integrator == kBdf) {
    if (!bdf_) bdf_ = std::make_unique<BdfIntegrator>();
    bdf_->Tolerances = {prefs_.RelTolerance, prefs_.AbsTolerance};
    ctx.Bdf = bdf_.get();
    ctx.SensitivityJacobian = prefs_.SensitivityJacobian;
  }
  return ctx;
}

SolveResult FitProblem::Solve(const T20Vector& parameters, EarlyStop stop) {
  SolveContext ctx = Context(stop);
  const SolveResult result = SolveModel(ctx, parameters, measured_.XData, measured_.YData);
  partial_ = ctx.PartialSum;
  return result;
}

SolveResult FitProblem::SolveData(const T20Vector& parameters, TDataSet& data) {
  SolveContext ctx = Context();
  return SolveModel(ctx, parameters, data.XData, data.YData);
}

bool FitProblem::UsesSensitivities() {
  const SolveContext ctx = Context();
  return ctx.SensitivityJacobian && SensitivitiesAvailable(ctx);
}

SolveResult FitProblem::SolveSensitivities(const T20Vector& parameters,
                                           const std::vector<int>& params,
                                           std::vector<StateSensitivities>& out) {
  SolveContext ctx = Context();
  return zelk::SolveSensitivities(ctx, parameters, params, measured_, out);
}

double FitProblem::Objective() const {
  TResponseSums sums{};  // each response's share: nobody here asks for it
  return zelk::Objective(ObjectiveKind, measured_.YData, sums);
}

int FitProblem::ObservationCount() const {
  return CountResiduals(model_.DifEqCount, measured_.XData, measured_.YData);
}

bool FitProblem::NormalInverse(const T20Vector& parameters, int count, bool& singular) {
  SolveContext ctx = Context();
  return ComputeNormalInverse(ctx, work_, parameters, count, measured_, &singular);
}

bool FitProblem::GaussNewtonCorrection(const T20Vector& parameters, int count, T20Vector& delta) {
  SolveContext ctx = Context();
  return GaussNewtonStep(ctx, work_, parameters, count, measured_, delta);
}

std::optional<double> FitProblem::DesignCriterion(const T20Vector& parameters, int count,
                                                  const std::vector<double>& candidates) {
  if (!MergeDesignData(measured_, candidates, design_, designRows_)) return std::nullopt;
  ComputeRanges(design_);
  // A failed solution is not tested here: the design Jacobian solves again and says so. Only
  // a missing library, which the solver has just reported, ends the design at once.
  if (SolveData(parameters, design_) == SolveResult::NoLibrary) return std::nullopt;
  for (int row : designRows_) design_.YData.M[row] = design_.YData.C[row];
  SolveContext ctx = Context();
  if (!ComputeDesignNormalMatrix(ctx, work_, parameters, count, design_.XData, design_.YData))
    return std::nullopt;
  return Determinant(work_.NormalMatrix, count);
}

}  // namespace zelk
