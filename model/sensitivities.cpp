#include "model/sensitivities.h"

#include <cmath>
#include <memory>

#include "model/bdf_integrator.h"
#include "model/experiments.h"
#include "model/model_guard.h"
#include "model/static_layout.h"

namespace zelk {

namespace {

constexpr double kJumpStep = 1e-7;  // of the parameter, for the static section's quotient

// The static section at event i changed y- into y+ (in `c`): each column follows as
// (g(y- + t S, p + t e) - y+) / t. Where g left the moved state alone, the column is kept
// as it is, without the quotient's rounding. The static section reads and may write the
// data's matrices: the extra calls get copies.
bool CarryAcrossEvent(SolveContext& ctx, const T20Vector& p, const T20Vector& xi,
                      const T50Vector& before, const T50Vector& after, int n,
                      StateSensitivities& s, StaticLayout& scratch) {
  for (std::size_t j = 0; j < s.Params.size(); ++j) {
    const int k = s.Params[j];
    const double t = kJumpStep * (p[k] != 0 ? std::fabs(p[k]) : 1.0);
    T20Vector pk = p, xk = xi;
    pk[k] += t;
    T50Vector moved = before, y = before;
    for (int d = 1; d <= n; ++d) moved[d] = y[d] = before[d] + t * s.Columns[j][d];
    ++ctx.Stats.InitialCalls;
    if (!ctx.Model.CallInitial(pk.data(), xk.data(), y.data(), scratch.Xe(), scratch.Ye()))
      return false;
    for (int d = 1; d <= n; ++d)
      if (y[d] != moved[d] || after[d] != before[d]) s.Columns[j][d] = (y[d] - after[d]) / t;
  }
  return true;
}

// The initial section at an experiment's first event turned the measured start y- into y+
// (in `c`): the start's columns follow as for the static section, by a quotient a parameter.
bool CarryThroughStart(SolveContext& ctx, const T20Vector& p, const T20Vector& xi,
                       const T50Vector& before, const TRow<double> after, int n,
                       StateSensitivities& s) {
  for (std::size_t j = 0; j < s.Params.size(); ++j) {
    const int k = s.Params[j];
    const double t = kJumpStep * (p[k] != 0 ? std::fabs(p[k]) : 1.0);
    T20Vector pk = p, xk = xi;
    pk[k] += t;
    T50Vector y = before;
    for (int d = 1; d <= n; ++d) y[d] = before[d] + t * s.Columns[j][d];
    if (!ctx.Model.CallStart(pk.data(), xk.data(), y.data())) return false;
    for (int d = 1; d <= n; ++d) s.Columns[j][d] = (y[d] - after[d]) / t;
  }
  return true;
}

}  // namespace

bool SensitivitiesAvailable(const SolveContext& ctx) {
  return ctx.Bdf && ctx.Model.DifEqCount > 0;
}

namespace {

// The static section's first call, which may write the data's initial values from the
// parameters, and the sensitivities of what it writes at each experiment's first event:
// initial[e].Columns[j][d] for every event e that starts one, by a quotient per parameter on
// copies of the data as they were before the call.
bool FirstCall(SolveContext& ctx, const T20Vector& p, const std::vector<int>& params, TXData& x,
               TYData& y, std::vector<StateSensitivities>& initial, TXData& xScratch,
               TYData& yScratch) {
  TModel& model = ctx.Model;
  const int n = y.DepCount, events = y.EventCount;
  auto xBefore = std::make_unique<TXData>(x);
  auto yBefore = std::make_unique<TYData>(y);
  const T20Vector pointBefore = model.StartPoint;
  const T50Vector stateBefore = model.StartState;
  T20Vector pCall = p;
  ++ctx.Stats.InitialCalls;
  {
    StaticLayout layout(x, y, model.XeStride, model.YeStride);
    if (!model.CallInitial(pCall.data(), model.StartPoint.data(), model.StartState.data(),
                           layout.Xe(), layout.Ye()))
      return false;
  }
  initial.assign(events + 1, StateSensitivities{});
  for (int e = 1; e <= events; ++e)
    if (e == 1 || !SameExperiment(x, e - 1, e)) {
      initial[e].Params = params;
      T50Vector zero{};
      zero.Hold(n);
      initial[e].Columns.assign(params.size(), zero);
    }
  for (std::size_t j = 0; j < params.size(); ++j) {
    const int k = params[j];
    const double t = kJumpStep * (p[k] != 0 ? std::fabs(p[k]) : 1.0);
    T20Vector pk = p;
    pk[k] += t;
    // Only the rows in use: the whole matrices are a megabyte.
    for (int e = 0; e <= events; ++e) {
      CopyRow(xScratch.X[e], xBefore->X[e]);
      CopyRow(yScratch.M[e], yBefore->M[e]);
    }
    T20Vector point = pointBefore;
    T50Vector state = stateBefore;
    ++ctx.Stats.InitialCalls;
    {
      StaticLayout layout(xScratch, yScratch, model.XeStride, model.YeStride);
      if (!model.CallInitial(pk.data(), point.data(), state.data(), layout.Xe(), layout.Ye()))
        return false;
    }
    for (int e = 1; e <= events; ++e) {
      if (initial[e].Columns.empty()) continue;
      for (int d = 1; d <= n; ++d)
        if (yScratch.M[e][d] != y.M[e][d])
          initial[e].Columns[j][d] = (yScratch.M[e][d] - y.M[e][d]) / t;
    }
  }
  return true;
}

}  // namespace

SolveResult SolveSensitivities(SolveContext& ctx, const T20Vector& parameters,
                               const std::vector<int>& params, TDataSet& measured,
                               std::vector<StateSensitivities>& out) {
  TModel& model = ctx.Model;
  if (model.LibFileName.empty()) {
    if (ctx.Say) ctx.Say(Severity::Error, kNoLibrary);
    return SolveResult::NoLibrary;
  }
  TXData& x = measured.XData;
  TYData& y = measured.YData;
  const int n = y.DepCount, events = y.EventCount;
  out.resize(events + 1);
  // The solution stands for the params.size() + 1 solutions of a difference Jacobian: so
  // does its share of time.
  ModelGuardScope guard(ctx.TimeLimit * static_cast<double>(params.size() + 1));
  ++ctx.Stats.Solutions;
  T20Vector p = parameters;
  if (events >= 1) {
    model.StartPoint = x.X[1];
    model.StartState = y.M[1];
    if (!model.CallStart(p.data(), model.StartPoint.data(), model.StartState.data()))
      return SolveResult::ModelFault;
  }
  // Scratch copies for the static section's extra calls, which may write the data.
  auto xScratch = std::make_unique<TXData>(x);
  auto yScratch = std::make_unique<TYData>(y);
  std::vector<StateSensitivities> initial;
  if (!FirstCall(ctx, p, params, x, y, initial, *xScratch, *yScratch))
    return SolveResult::ModelFault;
  StaticLayout layout(x, y, model.XeStride, model.YeStride);
  StaticLayout scratch(*xScratch, *yScratch, model.XeStride, model.YeStride);
  StateSensitivities s;
  for (int i = 1; i <= events; ++i) {
    const TRow<double> ci = y.C.at(i);
    if (i > 1 && SameExperiment(x, i - 1, i)) {
      T50Vector state;
      state.Hold(n);
      const SolveResult r =
          ctx.Bdf->Integrate(ctx, p, x.X[i - 1], x.X[i], y.C[i - 1], state, &s);
      if (r != SolveResult::Solved) return r;
      for (int d = 1; d <= n; ++d) ci[d] = state[d];
      ++ctx.Stats.InitialCalls;
      if (!model.CallInitial(p.data(), x.X[i].data(), ci.data(), layout.Xe(), layout.Ye()))
        return SolveResult::ModelFault;
      if (!CarryAcrossEvent(ctx, p, x.X[i], state, ci, n, s, scratch))
        return SolveResult::ModelFault;
    } else {
      layout.Pull(i);
      model.StartPoint = x.X[i];
      model.StartState = y.M[i];
      for (int d = 1; d <= n; ++d) ci[d] = y.M[i][d];
      s = std::move(initial[i]);
      if (model.StartProc) {
        const T50Vector before = y.M[i];
        if (!model.CallStart(p.data(), x.X[i].data(), ci.data()) ||
            !CarryThroughStart(ctx, p, x.X[i], before, ci, n, s))
          return SolveResult::ModelFault;
      }
    }
    out[i] = s;
  }
  return SolveResult::Solved;
}

bool ComputeSensitivityJacobian(SolveContext& ctx, JacobianWork& work,
                                const T20Vector& parameters, const std::vector<int>& params,
                                TDataSet& measured) {
  std::vector<StateSensitivities> events;
  if (SolveSensitivities(ctx, parameters, params, measured, events) != SolveResult::Solved) {
    if (ctx.Say) ctx.Say(Severity::Error, kJacobianFailed);
    return false;
  }
  const TYData& y = measured.YData;
  const int m = EnumerateResiduals(work, ctx.Model.DifEqCount, measured.XData, y);
  work.Jacobian.Hold(m, static_cast<int>(params.size()));
  for (int r = 1; r <= m; ++r) {
    const TResidualCell cell = work.ResidualCells[r];
    for (std::size_t j = 0; j < params.size(); ++j)
      work.Jacobian[r][j + 1] = events[cell.Event].Columns[j][cell.Variable];
    work.Residuals[r] = y.C[cell.Event][cell.Variable] - y.M[cell.Event][cell.Variable];
  }
  return true;
}

}  // namespace zelk
