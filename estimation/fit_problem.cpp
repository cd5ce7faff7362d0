#include "estimation/fit_problem.h"

#include "estimation/experiment_design.h"

#include <cmath>

namespace zelk {

SolveContext FitProblem::Context(EarlyStop stop) {
  SolveContext ctx{model_, measured_, Say, log_, Stats};
  ctx.Stop = stop;
  ctx.ShowIntegrationErrors = prefs_.ShowIntegrationErrors;
  ctx.TimeLimit = prefs_.ModelTimeLimit;
  ctx.BetweenColumns = BetweenColumns;
  ctx.ForwardDifferences = ForwardDifferences;
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

std::vector<LikelihoodCell> FitProblem::Cells() const {
  return LikelihoodCells(Noise, model_.DifEqCount, measured_.XData, measured_.YData);
}

double FitProblem::Objective() const {
  if (ObjectiveKind == TObjectiveKind::Likelihood)
    return NegativeLogLikelihood(Cells(), measured_.YData);
  TResponseSums sums{};  // each response's share: nobody here asks for it
  return zelk::Objective(ObjectiveKind, measured_.YData, sums);
}

int FitProblem::ObservationCount() const {
  if (ObjectiveKind == TObjectiveKind::Likelihood) return LikelihoodResidualCount(Cells());
  return CountResiduals(model_.DifEqCount, measured_.XData, measured_.YData);
}

namespace {

// d/dC of (C - M) / w with w = (M + C) / 2 is (1 - r / 2) / w; on the floor w is constant.
double WeightedSlope(double measured, double computed) {
  const double w = WeightedScale(measured, computed);
  if ((measured + computed) / 2 <= 1e-6) return 1 / w;
  return (1 - (computed - measured) / w / 2) / w;
}

}  // namespace

double FitProblem::Residual(int e, int d) const {
  const double c = measured_.YData.C[e][d], m = measured_.YData.M[e][d];
  return ObjectiveKind == TObjectiveKind::WeightedSS ? (c - m) / WeightedScale(m, c) : c - m;
}

bool FitProblem::Residuals(std::vector<double>& out) const {
  if (ObjectiveKind == TObjectiveKind::Likelihood)
    return LikelihoodResiduals(Cells(), measured_.YData, out);
  out.clear();
  bool finite = true;
  ForEachResidualCell(model_.DifEqCount, measured_.XData, measured_.YData, [&](int e, int d) {
    out.push_back(Residual(e, d));
    finite = finite && std::isfinite(out.back());
  });
  return finite;
}

bool FitProblem::LikelihoodJacobianOf(const T20Vector& parameters,
                                      const JacobianColumns& columns) {
  // The cells are those of the measured data as they stand: which are defined does not
  // depend on the parameters.
  const std::vector<LikelihoodCell> cells = Cells();
  work_.ChosenCells = LikelihoodJacobianCells(cells);
  if (work_.ChosenCells.empty()) work_.ChosenCells.push_back({0, 0});
  SolveContext ctx = Context();
  const bool ok = ComputeJacobian(ctx, work_, parameters, columns, measured_);
  work_.ChosenCells.clear();
  if (!ok) return false;
  const int width = static_cast<int>(columns.Params.size());
  std::vector<double> dc(static_cast<std::size_t>(work_.ResidualCount) * width), out, residuals;
  for (int n = 1; n <= work_.ResidualCount; ++n)
    for (int j = 1; j <= width; ++j)
      dc[static_cast<std::size_t>(n - 1) * width + j - 1] =
          work_.Jacobian[n][j] * (columns.Slopes.empty() ? 1.0 : columns.Slopes[j - 1]);
  LikelihoodJacobian(cells, measured_.YData, dc, width, out, residuals);
  const int m = static_cast<int>(residuals.size());
  work_.Jacobian.Hold(m, width);
  work_.Residuals.assign(residuals.size() + 1, 0.0);
  for (int n = 1; n <= m; ++n) {
    work_.Residuals[n] = residuals[n - 1];
    for (int j = 1; j <= width; ++j)
      work_.Jacobian[n][j] = out[static_cast<std::size_t>(n - 1) * width + j - 1];
  }
  work_.ResidualCount = m;
  return true;
}

bool FitProblem::ResidualJacobian(const T20Vector& parameters, const JacobianColumns& columns) {
  if (ObjectiveKind == TObjectiveKind::Likelihood)
    return LikelihoodJacobianOf(parameters, columns);
  SolveContext ctx = Context();
  if (!ComputeJacobian(ctx, work_, parameters, columns, measured_)) return false;
  if (!columns.Slopes.empty())
    for (int n = 1; n <= work_.ResidualCount; ++n)
      for (std::size_t j = 1; j <= columns.Params.size(); ++j)
        work_.Jacobian[n][j] *= columns.Slopes[j - 1];
  if (ObjectiveKind != TObjectiveKind::WeightedSS) return true;
  // The fit made is of the weighted residuals: so are its Jacobian and its statistics.
  const TYData& y = measured_.YData;
  for (int n = 1; n <= work_.ResidualCount; ++n) {
    const auto [e, d] = work_.ResidualCells[n];
    const double slope = WeightedSlope(y.M[e][d], y.C[e][d]);
    for (std::size_t j = 1; j <= columns.Params.size(); ++j) work_.Jacobian[n][j] *= slope;
    work_.Residuals[n] = Residual(e, d);
  }
  return true;
}

bool FitProblem::NormalInverse(const T20Vector& parameters, const JacobianColumns& columns,
                               bool& singular) {
  singular = false;
  if (!ResidualJacobian(parameters, columns)) return false;
  singular = !FormNormalInverse(work_, static_cast<int>(columns.Params.size()));
  return !singular;
}

bool FitProblem::GaussNewtonCorrection(const T20Vector& parameters, const JacobianColumns& columns,
                                       T20Vector& delta) {
  bool singular = false;
  if (!NormalInverse(parameters, columns, singular)) {
    if (Say) Say(Severity::Error, kMatrixSingular);
    return false;
  }
  GaussNewtonDelta(work_, static_cast<int>(columns.Params.size()), delta);
  return true;
}

std::optional<double> FitProblem::DesignCriterion(const T20Vector& parameters, int count,
                                                  const std::vector<double>& candidates) {
  if (!MergeDesignData(measured_, candidates, design_, designRows_)) return std::nullopt;
  ComputeRanges(design_);
  // A failed solution is not tested here: the design Jacobian solves again and says so. Only
  // a missing library, which the solver has just reported, ends the design at once.
  if (SolveData(parameters, design_) == SolveResult::NoLibrary) return std::nullopt;
  for (int row : designRows_) CopyRow(design_.YData.M[row], design_.YData.C[row]);
  SolveContext ctx = Context();
  if (!ComputeDesignNormalMatrix(ctx, work_, parameters, count, design_.XData, design_.YData))
    return std::nullopt;
  return Determinant(work_.NormalMatrix, count);
}

}  // namespace zelk
