#include "model/jacobian.h"

#include <cmath>

#include "model/experiments.h"
#include "model/linear_algebra.h"
#include "model/sensitivities.h"

namespace zelk {

JacobianWork::JacobianWork()
    : Jacobian(kMaxResiduals + 1),
      GainMatrix(kMaxResiduals + 1),
      Residuals(kMaxResiduals + 1),
      DesignDiffs(kMaxResiduals),
      ResidualCells(kMaxResiduals + 1),
      JacobianColumn(kMaxResiduals + 1),
      ResidualPending(kMaxResiduals + 1),
      BaseComputed(kMaxEvents + 1),
      DesignCopy(std::make_unique<TYData>()) {}

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
  for (int i = 1; i <= paramCount; ++i)
    for (int j = 1; j <= paramCount; ++j) {
      long double sum = 0;
      for (int n = 1; n <= m; ++n)
        sum += static_cast<long double>(work.Jacobian[n][i]) * work.Jacobian[n][j];
      work.NormalMatrix[i][j] = static_cast<double>(sum);
    }
}

}  // namespace

namespace {

// Visits the residual cells in their order: variable by variable, event by event, defined
// values only, and without the first event of an experiment when there are differential
// equations.
template <class Visit>
void ForEachResidual(int difEqCount, const TXData& x, const TYData& y, Visit&& visit) {
  for (int d = 1; d <= y.DepCount; ++d)
    for (int e = 1; e <= y.EventCount; ++e) {
      if (!y.Defined.at(e)[d]) continue;
      const bool startsExperiment = e == 1 || !SameExperiment(x, e - 1, e);
      if (difEqCount > 0 && startsExperiment) continue;
      visit(e, d);
    }
}

}  // namespace

int EnumerateResiduals(JacobianWork& work, int difEqCount, const TXData& x, const TYData& y) {
  int m = 0;
  ForEachResidual(difEqCount, x, y, [&](int e, int d) { work.ResidualCells.at(++m) = {e, d}; });
  work.ResidualCount = m;
  return m;
}

std::vector<TResidualCell> ListResiduals(int difEqCount, const TXData& x, const TYData& y) {
  std::vector<TResidualCell> cells;
  ForEachResidual(difEqCount, x, y, [&](int e, int d) { cells.push_back({e, d}); });
  return cells;
}

int CountResiduals(int difEqCount, const TXData& x, const TYData& y) {
  int m = 0;
  ForEachResidual(difEqCount, x, y, [&](int, int) { ++m; });
  return m;
}

bool ComputeJacobian(SolveContext& ctx, JacobianWork& work, const T20Vector& parameters, int paramCount,
                     TDataSet& measured) {
  if (ctx.SensitivityJacobian && SensitivitiesAvailable(ctx))
    return ComputeSensitivityJacobian(ctx, work, parameters, paramCount, measured);
  TYData& y = measured.YData;
  if (SolveWhole(ctx, parameters, measured.XData, y) != SolveResult::Solved) return Failed(ctx);
  const int m = EnumerateResiduals(work, ctx.Model.DifEqCount, measured.XData, y);
  for (int e = 1; e <= y.EventCount; ++e) work.BaseComputed[e] = y.C[e];
  for (int n = 1; n <= m; ++n) {
    const TResidualCell cell = work.ResidualCells[n];
    const double base = y.C[cell.Event][cell.Variable];
    for (int k = 1; k <= paramCount; ++k) work.Jacobian[n][k] = base;
    work.Residuals[n] = base - y.M[cell.Event][cell.Variable];
  }
  bool ok = true;
  for (int k = 1; k <= paramCount && ok; ++k) {
    int pending = m;
    for (int n = 1; n <= m; ++n) {
      work.ResidualPending[n] = 1;
      work.JacobianColumn[n] = 0;
    }
    for (double delta = kFirstRelativeStep; pending > 0 && delta < kLastStepBound; delta *= 2) {
      T20Vector trial = parameters;
      const double h = Increment(parameters[k], delta);
      trial[k] = parameters[k] + h;
      if (SolveWhole(ctx, trial, measured.XData, y) != SolveResult::Solved) {
        ok = false;
        break;
      }
      for (int n = 1; n <= m; ++n) {
        if (!work.ResidualPending[n]) continue;
        const TResidualCell cell = work.ResidualCells[n];
        const double base = work.Jacobian[n][k];
        const double now = y.C[cell.Event][cell.Variable];
        // Both non-zero and nearly equal: the difference is lost in rounding, try further.
        if (base != 0 && now != 0 &&
            std::fabs(base - now) / (std::fabs(base) + std::fabs(now)) < kRoundingLoss)
          continue;
        work.JacobianColumn[n] = (now - base) / h;
        work.ResidualPending[n] = 0;
        --pending;
      }
    }
    if (!ok) break;
    for (int n = 1; n <= m; ++n) work.Jacobian[n][k] = work.JacobianColumn[n];
  }
  // Statistics read the computed values of the current parameters, not of the last trial.
  for (int e = 1; e <= y.EventCount; ++e) y.C[e] = work.BaseComputed[e];
  return ok ? true : Failed(ctx);
}

bool ComputeNormalInverse(SolveContext& ctx, JacobianWork& work, const T20Vector& parameters, int paramCount,
                          TDataSet& measured, bool* singular) {
  if (singular) *singular = false;
  if (!ComputeJacobian(ctx, work, parameters, paramCount, measured)) return false;
  FormNormalMatrix(work, work.ResidualCount, paramCount);
  const bool inverted = InvertMatrix(work.NormalMatrix, work.NormalInverse, paramCount);
  if (singular) *singular = !inverted;
  return inverted;
}

bool GaussNewtonStep(SolveContext& ctx, JacobianWork& work, const T20Vector& parameters, int paramCount,
                     TDataSet& measured, T20Vector& delta) {
  if (!ComputeNormalInverse(ctx, work, parameters, paramCount, measured)) {
    if (ctx.Say) ctx.Say(Severity::Error, kMatrixSingular);
    return false;
  }
  const int m = work.ResidualCount;
  for (int n = 1; n <= m; ++n)
    for (int i = 1; i <= paramCount; ++i) {
      long double sum = 0;
      for (int j = 1; j <= paramCount; ++j)
        sum += static_cast<long double>(work.NormalInverse[i][j]) * work.Jacobian[n][j];
      work.GainMatrix[n][i] = static_cast<double>(sum);
    }
  for (int i = 1; i <= paramCount; ++i) {
    long double sum = 0;
    for (int n = 1; n <= m; ++n)
      sum += static_cast<long double>(work.GainMatrix[n][i]) * work.Residuals[n];
    delta[i] = -static_cast<double>(sum);
  }
  return true;
}

bool ComputeDesignJacobian(SolveContext& ctx, JacobianWork& work, const T20Vector& parameters, int paramCount,
                           TXData& x, const TYData& y) {
  // Only the rows in use: a whole block is a megabyte, several times a solution's cost.
  TYData& copy = *work.DesignCopy;
  copy.DepCount = y.DepCount;
  copy.EventCount = y.EventCount;
  copy.Range = y.Range;
  for (int e = 0; e <= y.EventCount; ++e) {
    copy.M[e] = y.M[e];  // the solutions write every computed row
    copy.Defined[e] = y.Defined[e];
  }
  if (SolveWhole(ctx, parameters, x, copy) != SolveResult::Solved) return Failed(ctx);
  const int m = EnumerateResiduals(work, ctx.Model.DifEqCount, x, copy);
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
