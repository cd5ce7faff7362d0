#include "model/jacobian.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <utility>

#include "model/experiments.h"
#include "model/bdf_integrator.h"
#include "model/sensitivities.h"

namespace zelk {

JacobianWork::JacobianWork()
    : DesignCopy(std::make_unique<TYData>()) {}

namespace {

// Full solutions only: the early stops of the searches would leave events uncomputed.
SolveResult SolveWhole(SolveContext& ctx, const T20Vector& p, TXData& x, TYData& y) {
  const EarlyStop saved = ctx.Stop;
  ctx.Stop = {};
  const SolveResult result = SolveModel(ctx, p, x, y);
  ctx.Stop = saved;
  return result;
}

bool Failed(SolveContext& ctx) {
  if (ctx.Say) ctx.Say(Severity::Error, kJacobianFailed);
  return false;
}

// The increment of parameter k at relative step delta; a parameter at 0 moves by delta.
double Increment(double value, double delta) {
  return value != 0 ? std::fabs(value) * delta : delta;
}

// NormalMatrix := J'J over residuals 1..m and parameters 1..paramCount.
void FormNormalMatrix(JacobianWork& work, int m, int paramCount) {
  work.NormalMatrix.Hold(paramCount, paramCount);
  for (int i = 1; i <= paramCount; ++i)
    for (int j = 1; j <= paramCount; ++j) {
      long double sum = 0;
      for (int n = 1; n <= m; ++n)
        sum += static_cast<long double>(work.Jacobian[n][i]) * work.Jacobian[n][j];
      work.NormalMatrix[i][j] = static_cast<double>(sum);
    }
}

}  // namespace

int EnumerateResiduals(JacobianWork& work, int difEqCount, const TXData& x, const TYData& y) {
  const bool chosen = !work.ChosenCells.empty();
  const int m = chosen ? static_cast<int>(work.ChosenCells.size()) : CountResiduals(difEqCount, x, y);
  const auto size = static_cast<std::size_t>(m) + 1;
  work.ResidualCells.resize(size);
  work.Residuals.resize(size);
  work.Ahead.resize(size);
  work.Behind.resize(size);
  work.DesignDiffs.resize(size);
  int n = 0;
  if (chosen)
    for (const TResidualCell cell : work.ChosenCells) work.ResidualCells[++n] = cell;
  else
    ForEachResidualCell(difEqCount, x, y, [&](int e, int d) { work.ResidualCells[++n] = {e, d}; });
  work.ResidualCount = m;
  return m;
}

int CountResiduals(int difEqCount, const TXData& x, const TYData& y) {
  int m = 0;
  ForEachResidualCell(difEqCount, x, y, [&](int, int) { ++m; });
  return m;
}

JacobianColumns AllColumns(int count) {
  JacobianColumns columns;
  columns.Lower.Hold(count);
  columns.Upper.Hold(count);
  for (int k = 1; k <= count; ++k) {
    columns.Params.push_back(k);
    columns.Lower[k] = -HUGE_VAL;
    columns.Upper[k] = HUGE_VAL;
  }
  return columns;
}

double RelativeDifferenceStep(const SolveContext& ctx) {
  if (ctx.Model.DifEqCount == 0) return std::cbrt(DBL_EPSILON);
  if (ctx.Bdf) return std::cbrt(std::max(ctx.Bdf->Tolerances.Relative, DBL_EPSILON));
  return kMersonRelativeStep;
}

namespace {

// A trial solution at `p`, its computed values of the residual cells into `out`.
bool TrialCells(SolveContext& ctx, JacobianWork& work, const T20Vector& p, TDataSet& measured,
                std::vector<double>& out) {
  if (SolveWhole(ctx, p, measured.XData, measured.YData) != SolveResult::Solved) return false;
  const TYData& y = measured.YData;
  for (int n = 1; n <= work.ResidualCount; ++n) {
    const TResidualCell cell = work.ResidualCells[n];
    out[n] = y.C[cell.Event][cell.Variable];
    if (!std::isfinite(out[n])) return false;
  }
  return true;
}

// Column j of the Jacobian, for parameter k inside [lower, upper]: a central quotient, one-sided
// next to a bound or where one side cannot be solved, across the box where it is narrower
// than the step; shorter steps where neither side can be solved.
bool DifferenceColumn(SolveContext& ctx, JacobianWork& work, const T20Vector& parameters, int k,
                      double lower, double upper, double relativeStep, TDataSet& measured, int j) {
  const int m = work.ResidualCount;
  const double v = parameters[k];
  if (v < lower || v > upper) {  // solved outside its box already: the box says nothing here
    lower = -HUGE_VAL;
    upper = HUGE_VAL;
  }
  T20Vector trial = parameters;
  const auto solveAt = [&](double at, std::vector<double>& out) {
    trial[k] = at;
    return TrialCells(ctx, work, trial, measured, out);
  };
  const auto base = [&](int n) {
    const TResidualCell cell = work.ResidualCells[n];
    return work.BaseComputed[cell.Event][cell.Variable];
  };
  double h = v != 0 ? std::fabs(v) * relativeStep : relativeStep;
  for (int attempt = 0; attempt < 4; ++attempt, h /= 8) {
    double up = v + h, down = v - h;
    bool canUp = up <= upper, canDown = down >= lower;
    if (ctx.ForwardDifferences) {
      // One side, up where the box lets it; the two-sided rules below only where neither
      // side can be solved.
      std::vector<double>& side = canUp ? work.Ahead : work.Behind;
      const double at = canUp ? up : down;
      if ((canUp || canDown) && solveAt(at, side)) {
        for (int n = 1; n <= m; ++n) work.Jacobian[n][j] = (side[n] - base(n)) / (at - v);
        return true;
      }
    }
    if (!canUp && !canDown) {
      if (!(upper > lower)) {  // a box of one point: nothing moves
        for (int n = 1; n <= m; ++n) work.Jacobian[n][j] = 0;
        return true;
      }
      up = upper;
      down = lower;
      canUp = up != v;
      canDown = down != v;
    }
    const bool ahead = canUp && solveAt(up, work.Ahead);
    const bool behind = canDown && solveAt(down, work.Behind);
    if (ahead && behind) {
      for (int n = 1; n <= m; ++n) work.Jacobian[n][j] = (work.Ahead[n] - work.Behind[n]) / (up - down);
      return true;
    }
    if (!ahead && !behind) continue;
    // One side only: the second-order quotient from two points on it where they can be solved.
    const double sign = ahead ? 1 : -1;
    const double near = ahead ? up : down, far = v + 2 * (near - v);
    std::vector<double>& first = ahead ? work.Ahead : work.Behind;
    std::vector<double>& second = ahead ? work.Behind : work.Ahead;
    const bool farInside = far <= upper && far >= lower;
    if (farInside && solveAt(far, second)) {
      for (int n = 1; n <= m; ++n)
        work.Jacobian[n][j] = sign * (4 * first[n] - 3 * base(n) - second[n]) / (2 * std::fabs(near - v));
    } else {
      for (int n = 1; n <= m; ++n) work.Jacobian[n][j] = (first[n] - base(n)) / (near - v);
    }
    return true;
  }
  return false;
}

}  // namespace

bool ComputeJacobian(SolveContext& ctx, JacobianWork& work, const T20Vector& parameters,
                     const JacobianColumns& columns, TDataSet& measured) {
  if (ctx.SensitivityJacobian && SensitivitiesAvailable(ctx))
    return ComputeSensitivityJacobian(ctx, work, parameters, columns.Params, measured);
  TYData& y = measured.YData;
  if (SolveWhole(ctx, parameters, measured.XData, y) != SolveResult::Solved) return Failed(ctx);
  const int m = EnumerateResiduals(work, ctx.Model.DifEqCount, measured.XData, y);
  work.BaseComputed.Hold(y.C.Rows(), y.C.Columns());
  work.BaseMeasured.Hold(y.M.Rows(), y.M.Columns());
  for (int e = 1; e <= y.EventCount; ++e) {
    CopyRow(work.BaseComputed[e], y.C[e]);
    CopyRow(work.BaseMeasured[e], y.M[e]);
  }
  for (int n = 1; n <= m; ++n) {
    const TResidualCell cell = work.ResidualCells[n];
    work.Residuals[n] = y.C[cell.Event][cell.Variable] - y.M[cell.Event][cell.Variable];
  }
  work.Jacobian.Hold(m, static_cast<int>(columns.Params.size()));
  // A one-sided quotient's error is first order in its step: the balance with the solution's
  // own error lies at the square root of that error where the central one's lies at the cube
  // root.
  const double central = RelativeDifferenceStep(ctx);
  const double step = ctx.ForwardDifferences ? std::pow(central, 1.5) : central;
  bool ok = true, abandoned = false;
  for (std::size_t j = 0; j < columns.Params.size() && ok; ++j) {
    if (j > 0 && ctx.BetweenColumns && !ctx.BetweenColumns()) {
      ok = false;
      abandoned = true;
      break;
    }
    const int k = columns.Params[j];
    ok = DifferenceColumn(ctx, work, parameters, k, columns.Lower[k], columns.Upper[k], step,
                          measured, static_cast<int>(j) + 1);
  }
  // The statistics and the report read the base solution, not the last trial's; a static
  // section that writes the data (an initial value as a parameter) wrote the trials' values.
  for (int e = 1; e <= y.EventCount; ++e) {
    CopyRow(y.C[e], std::as_const(work.BaseComputed)[e]);
    CopyRow(y.M[e], std::as_const(work.BaseMeasured)[e]);
  }
  return ok || abandoned ? ok : Failed(ctx);
}

bool FormNormalInverse(JacobianWork& work, int count) {
  const int m = work.ResidualCount;
  FormNormalMatrix(work, m, count);
  if (count < 1 || m < count) return false;
  // Householder QR of J in extended precision; V = R^-1 R^-T.
  std::vector<long double> a(static_cast<std::size_t>(m) * count);
  const auto at = [&](int r, int c) -> long double& { return a[static_cast<std::size_t>(r) * count + c]; };
  for (int r = 0; r < m; ++r)
    for (int c = 0; c < count; ++c) at(r, c) = work.Jacobian[r + 1][c + 1];
  long double largest = 0;
  for (int c = 0; c < count; ++c) {
    long double norm = 0;
    for (int r = c; r < m; ++r) norm += at(r, c) * at(r, c);
    norm = std::sqrt(norm);
    largest = std::max(largest, norm);
    if (norm == 0) return false;
    const long double alpha = at(c, c) > 0 ? -norm : norm;
    at(c, c) -= alpha;
    long double vnorm = 0;
    for (int r = c; r < m; ++r) vnorm += at(r, c) * at(r, c);
    for (int c2 = c + 1; c2 < count; ++c2) {
      long double dot = 0;
      for (int r = c; r < m; ++r) dot += at(r, c) * at(r, c2);
      const long double f = 2 * dot / vnorm;
      for (int r = c; r < m; ++r) at(r, c2) -= f * at(r, c);
    }
    at(c, c) = alpha;  // R's diagonal; the reflector below it is no longer needed
  }
  for (int c = 0; c < count; ++c)
    if (std::fabs(at(c, c)) <= largest * LDBL_EPSILON) return false;
  // Rinv, upper triangular, then V = Rinv Rinv'.
  std::vector<long double> inv(static_cast<std::size_t>(count) * count, 0.0L);
  const auto ri = [&](int r, int c) -> long double& { return inv[static_cast<std::size_t>(r) * count + c]; };
  for (int c = count - 1; c >= 0; --c) {
    ri(c, c) = 1 / at(c, c);
    for (int r = c - 1; r >= 0; --r) {
      long double sum = 0;
      for (int k = r + 1; k <= c; ++k) sum += at(r, k) * ri(k, c);
      ri(r, c) = -sum / at(r, r);
    }
  }
  work.NormalInverse.Hold(count, count);
  for (int i = 0; i < count; ++i)
    for (int k = 0; k < count; ++k) {
      long double sum = 0;
      for (int c = std::max(i, k); c < count; ++c) sum += ri(i, c) * ri(k, c);
      work.NormalInverse[i + 1][k + 1] = static_cast<double>(sum);
    }
  return true;
}

void GaussNewtonDelta(JacobianWork& work, int count, T20Vector& delta) {
  // -V (J'r): the gradient first, so no m x p product is formed.
  T20Vector gradient{};
  gradient.Hold(count);
  delta.Hold(count);
  for (int j = 1; j <= count; ++j) {
    long double sum = 0;
    for (int n = 1; n <= work.ResidualCount; ++n)
      sum += static_cast<long double>(work.Jacobian[n][j]) * work.Residuals[n];
    gradient[j] = static_cast<double>(sum);
  }
  for (int i = 1; i <= count; ++i) {
    long double sum = 0;
    for (int j = 1; j <= count; ++j)
      sum += static_cast<long double>(work.NormalInverse[i][j]) * gradient[j];
    delta[i] = -static_cast<double>(sum);
  }
}

bool ComputeDesignJacobian(SolveContext& ctx, JacobianWork& work, const T20Vector& parameters, int paramCount,
                           TXData& x, const TYData& y) {
  // Only the rows in use: a whole block is a megabyte, several times a solution's cost.
  TYData& copy = *work.DesignCopy;
  copy.DepCount = y.DepCount;
  copy.EventCount = y.EventCount;
  copy.Range = y.Range;
  copy.M.Hold(y.M.Rows(), y.M.Columns());
  copy.C.Hold(y.C.Rows(), y.C.Columns());
  copy.Defined.Hold(y.Defined.Rows(), y.Defined.Columns());
  for (int e = 0; e <= y.EventCount; ++e) {
    CopyRow(copy.M[e], y.M[e]);  // the solutions write every computed row
    CopyRow(copy.Defined[e], y.Defined[e]);
  }
  if (SolveWhole(ctx, parameters, x, copy) != SolveResult::Solved) return Failed(ctx);
  const int m = EnumerateResiduals(work, ctx.Model.DifEqCount, x, copy);
  work.Jacobian.Hold(m, paramCount);
  for (int n = 1; n <= m; ++n) {
    const TResidualCell cell = work.ResidualCells[n];
    for (int k = 1; k <= paramCount; ++k) work.Jacobian[n][k] = copy.C[cell.Event][cell.Variable];
  }
  for (int k = 1; k <= paramCount; ++k) {
    T20Vector trial = parameters;
    const double h = Increment(parameters[k], kDesignStep);
    trial[k] = parameters[k] + h;
    if (SolveWhole(ctx, trial, x, copy) != SolveResult::Solved) return Failed(ctx);
    for (int n = 1; n <= m; ++n) {
      const TResidualCell cell = work.ResidualCells[n];
      work.DesignDiffs.at(n - 1) = (copy.C[cell.Event][cell.Variable] - work.Jacobian[n][k]) / h;
    }
    for (int n = 1; n <= m; ++n) work.Jacobian[n][k] = work.DesignDiffs[n - 1];
  }
  return true;
}

bool ComputeDesignNormalMatrix(SolveContext& ctx, JacobianWork& work, const T20Vector& parameters, int paramCount,
                               TXData& x, const TYData& y) {
  if (!ComputeDesignJacobian(ctx, work, parameters, paramCount, x, y)) return false;
  FormNormalMatrix(work, work.ResidualCount, paramCount);
  return true;
}

}  // namespace zelk
