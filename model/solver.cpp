#include "model/solver.h"

#include "model/static_layout.h"

#include <chrono>
#include <cmath>

#include "base/format.h"
#include "base/messages.h"
#include "model/bdf_integrator.h"
#include "model/experiments.h"
#include "model/model_guard.h"

namespace zelk {

int ResultCode(SolveResult r) {
  switch (r) {
    case SolveResult::Solved:
      return 0;
    case SolveResult::Abandoned:
    case SolveResult::PrecisionNotReached:
      return 1;
    default:
      return 3;
  }
}

const char* ResultName(SolveResult r) {
  switch (r) {
    case SolveResult::Solved:
      return "solved";
    case SolveResult::Abandoned:
      return "abandoned";
    case SolveResult::PrecisionNotReached:
      return "precision not reached";
    case SolveResult::NoLibrary:
      return "no library";
    case SolveResult::ModelFault:
      return "model fault";
    case SolveResult::TimeLimit:
      return "time limit";
  }
  return "?";
}

double InitialStepSize(const std::array<double, 2>& range) {
  const double h0 = kFirstStepFraction * std::fabs(range[0] - range[1]);
  return h0 <= kSmallestFirstStep ? kSmallestFirstStep : h0;
}

namespace {

// Event i's share of the sum of squares.
long double EventSquares(const TDataSet& measured, int i) {
  long double sum = 0;
  const TRow<const double> m = measured.YData.M.at(i);
  const TRow<const double> c = measured.YData.C.at(i);
  const TRow<const std::uint8_t> defined = measured.YData.Defined.at(i);
  for (int d = 1; d <= measured.YData.DepCount; ++d)
    if (defined[d]) {
      const long double r = static_cast<long double>(m[d]) - c[d];
      sum += r * r;
    }
  return sum;
}

}  // namespace

double PartialSumOfSquares(const TDataSet& measured, int i) {
  long double sum = 0;
  for (int e = 1; e <= i; ++e) sum += EventSquares(measured, e);
  return static_cast<double>(sum);
}

SolveResult MersonIntegrate(SolveContext& ctx, const T20Vector& parameters, const T20Vector& from,
                            const T20Vector& to, const T50Vector& y0, T50Vector& y, double& h,
                            double tol) {
  const int n = ctx.Measured.YData.DepCount;
  const double hmin = kMinStepFraction * (to[1] - from[1]);
  TModel& model = ctx.Model;
  T20Vector p = parameters;  // the model gets pointers it may write through
  T20Vector x = from;
  y = y0;
  T20Vector xs;
  T50Vector dy, k1, k2, k3, k4, k5, ya;
  for (T50Vector* v : {&dy, &k1, &k2, &k3, &k4, &k5, &ya}) v->Hold(n);
  model.DyTemplate.Hold(n);
  bool failed = false;
  bool tooSmall = false;

  // One derivative evaluation: dy := DyTemplate, then the model; k := h * dy.
  auto evaluate = [&](T50Vector& arg, T50Vector& k) {
    dy = model.DyTemplate;
    ++ctx.Stats.DerivativeCalls;
    if (!model.CallDynamic(p.data(), xs.data(), arg.data(), dy.data())) {
      if (h < hmin) tooSmall = true;
      failed = true;
    }
    for (int j = 1; j <= n; ++j) k[j] = h * dy[j];
  };

  bool newStep = true;
  while (true) {
    if (newStep && x[1] + h > to[1]) h = to[1] - x[1];
    failed = false;
    xs = x;
    ya = y;
    evaluate(ya, k1);
    if (tooSmall) return SolveResult::ModelFault;
    for (int j = 1; j <= n; ++j) ya[j] = y[j] + k1[j] / 3;
    xs[1] += h / 3;
    evaluate(ya, k2);
    if (tooSmall) return SolveResult::ModelFault;
    for (int j = 1; j <= n; ++j) ya[j] = y[j] + (k1[j] + k2[j]) / 6;
    evaluate(ya, k3);
    if (tooSmall) return SolveResult::ModelFault;
    for (int j = 1; j <= n; ++j) ya[j] = y[j] + k1[j] / 8 + 3 * k3[j] / 8;
    xs[1] = xs[1] - h / 3 + h / 2;
    evaluate(ya, k4);
    if (tooSmall) return SolveResult::ModelFault;
    T50Vector y4 = y;
    for (int j = 1; j <= n; ++j) y4[j] = y[j] + k1[j] / 2 - 3 * k3[j] / 2 + 2 * k4[j];
    xs[1] += h / 2;
    ya = y4;
    evaluate(ya, k5);
    if (tooSmall) return SolveResult::ModelFault;
    T50Vector y5 = y;
    for (int j = 1; j <= n; ++j) y5[j] = y[j] + (k1[j] + 4 * k4[j] + k5[j]) / 6;

    // An attempt with a failed model call is never accepted, whatever its estimate says:
    // the derivatives it used are not the model's.
    if (failed) {
      ++ctx.Stats.RejectedSteps;
      if (h < hmin) return SolveResult::ModelFault;
      h /= 2;
      newStep = false;
      continue;
    }
    double e = 0;
    for (int j = 1; j <= n; ++j) {
      const double ej =
          (y5[j] > kErrorFloor && k5[j] != 0) ? std::fabs(((y4[j] - y5[j]) / 5) / y5[j]) : 0;
      if (j == 1 || ej > e) e = ej;
    }
    if (e < tol * kStepDoublingFactor) h = 2 * h;
    if (e > tol) {
      if (h < hmin) {
        ++ctx.Stats.PrecisionFailures;
        if (ctx.ShowIntegrationErrors) ctx.Log.AddMessage(kMersonFails);
        return SolveResult::PrecisionNotReached;
      }
      ++ctx.Stats.RejectedSteps;
      h /= 2;
      newStep = false;
      continue;
    }
    ++ctx.Stats.AcceptedSteps;
    x = xs;
    y = y5;
    if (std::fabs(x[1] - to[1]) <= kIntervalEndTolerance) return SolveResult::Solved;
    newStep = true;
  }
}

namespace {

SolveResult SolveGuarded(SolveContext& ctx, const T20Vector& parameters, TXData& x, TYData& y);

}  // namespace

SolveResult SolveModel(SolveContext& ctx, const T20Vector& parameters, TXData& x, TYData& y) {
  TModel& model = ctx.Model;
  if (model.LibFileName.empty()) {
    if (ctx.Say) ctx.Say(Severity::Error, kNoLibrary);
    return SolveResult::NoLibrary;
  }
  // Two clock reads a solution: a few tens of nanoseconds against tens of microseconds.
  struct Timer {
    std::int64_t& total;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    ~Timer() {
      total += std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now() - start)
                   .count();
    }
  } timer{ctx.Stats.SolveNanoseconds};
  SolveResult result;
  {
    ModelGuardScope guard(ctx.TimeLimit);  // handlers and timer once for the whole solution
    result = SolveGuarded(ctx, parameters, x, y);
  }
  if (result == SolveResult::ModelFault && LastGuardFault() == GuardFault::TimeLimit) {
    ctx.Log.AddMessage(FillPlaceholders(msg::kModelTimeLimit, {FormatGeneral(ctx.TimeLimit, 6)}));
    return SolveResult::TimeLimit;
  }
  return result;
}

namespace {

SolveResult SolveGuarded(SolveContext& ctx, const T20Vector& parameters, TXData& x, TYData& y) {
  TModel& model = ctx.Model;
  ++ctx.Stats.Solutions;
  const int events = y.EventCount;
  const int dep = ctx.Measured.YData.DepCount;
  double h = InitialStepSize(x.Range);
  SolveResult result = SolveResult::Solved;
  T20Vector p = parameters;
  model.DyTemplate.Hold(dep);
  StaticLayout layout(x, y, model.XeStride, model.YeStride);
  double* xe = layout.Xe();
  double* ye = layout.Ye();

  // The static section's first call sees the first event's point and measured state, so an
  // observable it computes from the state is defined there as at every later event.
  if (events >= 1) {
    layout.Pull(1);
    model.StartPoint = x.X[1];
    model.StartState = y.M[1];
    // An initial section sets the start the static section sees (its observables may
    // divide by a state that is only set there).
    if (!model.CallStart(p.data(), model.StartPoint.data(), model.StartState.data()))
      return SolveResult::ModelFault;
  }
  ++ctx.Stats.InitialCalls;
  if (!model.CallInitial(p.data(), model.StartPoint.data(), model.StartState.data(), xe, ye))
    return SolveResult::ModelFault;

  if (model.DifEqCount > 0) {
    const EarlyStop stop = ctx.Stop;
    // The partial sum grows event by event instead of being summed again from event 1.
    long double partial = 0;
    for (int i = 1; i <= events; ++i) {
      const TRow<double> ci = y.C.at(i);
      if (i > 1 && SameExperiment(x, i - 1, i)) {
        if (h == 0) h = InitialStepSize(x.Range);
        T50Vector state;
        state.Hold(dep);
        const SolveResult r =
            ctx.Bdf ? ctx.Bdf->Integrate(ctx, p, x.X[i - 1], x.X[i], y.C[i - 1], state)
                    : MersonIntegrate(ctx, p, x.X[i - 1], x.X[i], y.C[i - 1], state, h,
                                      kMersonTolerance);
        for (int d = 1; d <= dep; ++d) ci[d] = state[d];
        if (r == SolveResult::ModelFault) return r;
        if (r != SolveResult::Solved) result = r;
        ++ctx.Stats.InitialCalls;
        if (!model.CallInitial(p.data(), x.X[i].data(), ci.data(), xe, ye))
          return SolveResult::ModelFault;
      } else {
        layout.Pull(i);
        model.StartPoint = x.X[i];
        model.StartState = y.M[i];
        for (int d = 1; d <= dep; ++d) ci[d] = y.M[i][d];
        if (!model.CallStart(p.data(), x.X[i].data(), ci.data())) return SolveResult::ModelFault;
      }
      if (stop.Kind != EarlyStop::Rule::None) {
        partial += EventSquares(ctx.Measured, i);
        const double s = static_cast<double>(partial);
        ctx.PartialSum = s;
        if (s > stop.Bound)
          return stop.Kind == EarlyStop::Rule::Abandon ? SolveResult::Abandoned : result;
      }
    }
    return result;
  }

  T50Vector scratch{};
  scratch.Hold(dep);
  for (int i = 1; i <= events; ++i) {
    ++ctx.Stats.DerivativeCalls;
    if (!model.CallDynamic(p.data(), x.X[i].data(), y.C.at(i).data(), scratch.data()))
      return SolveResult::ModelFault;
  }
  return result;
}

}  // namespace

}  // namespace zelk
