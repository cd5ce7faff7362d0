// Solutions per second of SolveModel on the five-state chain model over 1000 events, with
// the derivative calls each solution makes and their bare cost, guarded and unguarded.
//   solver_bench [--quick]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include "estimation/experiment_design.h"
#include "model/jacobian.h"
#include "model/model_guard.h"
#include "tests/support/scripted_ui.h"
#include "workspace/workspace.h"

using namespace zelk;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Seconds per solution, the best of `rounds` runs of `count` solutions.
double TimeSolutions(Workspace& ws, const T20Vector& p, int count, int rounds) {
  double best = 1e300;
  for (int r = 0; r < rounds; ++r) {
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i)
      if (ws.Problem().Solve(p) != SolveResult::Solved) {
        std::fprintf(stderr, "solver_bench: the chain model did not solve\n");
        std::exit(1);
      }
    best = std::min(best, Seconds(start) / count);
  }
  return best;
}

// One x87 control-word load, the instruction a trap-based guard needs twice a call; it
// explains a guard's cost on a machine where it is slow.
double ControlWordLoadNanoseconds(int loads) {
  std::uint16_t control;
  __asm__ volatile("fnstcw %0" : "=m"(control));
  const auto start = Clock::now();
  for (int i = 0; i < loads; ++i) __asm__ volatile("fldcw %0" : : "m"(control));
  return Seconds(start) / loads * 1e9;
}

// The guard's common path instead: reading the sticky flags (MXCSR and the x87 status word).
double FlagReadNanoseconds(int reads) {
  std::uint32_t sink = 0;
  const auto start = Clock::now();
  for (int i = 0; i < reads; ++i) sink += guard_detail::RaisedFaultFlags();
  __asm__ volatile("" : : "g"(sink));
  return Seconds(start) / reads * 1e9;
}

// A solution's guard scope: handlers installed and restored, the time limit's timer armed
// and disarmed (limit > 0).
double ScopeMicroseconds(double limit, int scopes) {
  const auto start = Clock::now();
  for (int i = 0; i < scopes; ++i) ModelGuardScope scope(limit);
  return Seconds(start) / scopes * 1e6;
}

}  // namespace

int main(int argc, char* argv[]) {
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  test::ScriptedUi ui;
  auto ws = std::make_unique<Workspace>(ui);
  ws->Start();
  ws->Dimensions().SetText(Dimension::Dep, "5");
  ws->Dimensions().SetText(Dimension::DifEq, "5");
  ws->Dimensions().SetText(Dimension::Events, "1000");
  TDataSet& d = ws->MeasuredData;
  for (int j = 1; j <= 1000; ++j) {
    d.XData.X[j][1] = 0.01 * (j - 1);
    d.XData.Defined[j][1] = true;
    for (int i = 1; i <= 5; ++i) {
      d.YData.M[j][i] = i == 1 ? 1.0 : 0.0;
      d.YData.Defined[j][i] = true;
    }
  }
  ws->SetDataSaved(true);
  if (!ws->Model.LoadModelLibrary(std::string(MODEL_DIR) + "/chain.dll", BoxesOf(ui))) return 1;
  T20Vector p{};
  p[1] = 0.9;
  p[2] = 0.4;

  const int count = quick ? 3 : 200, rounds = quick ? 1 : 5;
  ws->Problem().Stats = {};
  ws->Problem().SolveData(p, d);
  const SolverStats one = ws->Problem().Stats;

  ws->Model.Guarded = true;
  const double guarded = TimeSolutions(*ws, p, count, rounds);
  ws->Model.Guarded = false;
  const double bare = TimeSolutions(*ws, p, count, rounds);
  ws->Model.Guarded = true;

  // The model's own work: the same number of derivative calls, straight into the library.
  T20Vector x = d.XData.X[1];
  T50Vector y = d.YData.M[1], dy{};
  double best = 1e300;
  for (int r = 0; r < rounds; ++r) {
    const auto start = Clock::now();
    for (std::int64_t i = 0; i < one.DerivativeCalls * (quick ? 1 : 20); ++i) {
      double *pp = p.data(), *xp = x.data(), *yp = y.data(), *dyp = dy.data();
      ws->Model.DynamicProc(&pp, &xp, &yp, &dyp);
      __asm__ volatile("" : : "g"(dy.data()) : "memory");
    }
    best = std::min(best, Seconds(start) / (quick ? 1 : 20));
  }

  // The random search, one trial solution a step, under an objective without early abort so
  // that every step solves all 1000 events; the rest of a step is the driver's own cost.
  ws->Estimation().SetObjectiveFunc(TObjectiveKind::WeightedSS);
  const int steps = quick ? 5 : 500;
  double bestStep = 1e300;
  for (int r = 0; r < (quick ? 1 : 3); ++r) {
    SearchOptions options;
    options.Calls = steps;
    const auto start = Clock::now();
    const SearchSummary summary = RandomSearch(ws->Estimation().Ground(), options);
    bestStep = std::min(bestStep, Seconds(start) / summary.Trials);
  }

  // The fit Jacobian: trials shared by every residual, so solutions per Jacobian stay
  // within 16 per parameter plus the base however many residuals there are.
  const int jacobians = quick ? 1 : 5;
  ws->Problem().Stats = {};
  SolveContext ctx = ws->Problem().Context();
  auto work = std::make_unique<JacobianWork>();
  const auto jacobianStart = Clock::now();
  for (int i = 0; i < jacobians; ++i)
    if (!ComputeJacobian(ctx, *work, p, AllColumns(2), d)) return 1;
  const double jacobianSeconds = Seconds(jacobianStart) / jacobians;
  const double solutionsPerJacobian = static_cast<double>(ws->Problem().Stats.Solutions) / jacobians;
  const int residuals = work->ResidualCount;

  // The experiment design on 200 events: one solution and one design Jacobian (2 + 1
  // solutions) an iteration; the rest is the driver's merge and bookkeeping.
  ws->Dimensions().SetText(Dimension::Events, "200");
  ws->SetDataSaved(true);
  ws->Parameters.Value = p;
  ws->Dimensions().SetText(Dimension::Param, "2");
  ws->Parameters.Value = p;
  const int iterations = quick ? 3 : 300;
  ws->Problem().Stats = {};
  SearchOptions designOptions;
  designOptions.Calls = iterations;
  const auto designStart = Clock::now();
  const SearchSummary design = DesignSearch(ws->Estimation().Ground(), 2, 0, 2.5, designOptions);
  const double iterationSeconds = Seconds(designStart) / design.Trials;
  const double solutionsPerIteration = static_cast<double>(ws->Problem().Stats.Solutions) / design.Trials;
  // The solutions' own time, as the solver clocked it during the design.
  const double designSolve = ws->Problem().Stats.SolveNanoseconds * 1e-9 / ws->Problem().Stats.Solutions;

  // The driver's own part of an iteration: merging the candidates into the design set.
  std::vector<int> candidateRows;
  const std::vector<double> candidates = {1.0, 2.2};
  auto merged = std::make_unique<TDataSet>();
  const auto mergeStart = Clock::now();
  for (int i = 0; i < count; ++i) MergeDesignData(d, candidates, *merged, candidateRows);
  const double mergeSeconds = Seconds(mergeStart) / count;

  std::printf("chain model, 5 states, 1000 events, one experiment\n");
  std::printf("derivative calls per solution   %lld (accepted steps %lld, rejected %lld)\n",
              static_cast<long long>(one.DerivativeCalls),
              static_cast<long long>(one.AcceptedSteps), static_cast<long long>(one.RejectedSteps));
  std::printf("bare derivative calls           %.3f ms per solution (%.1f ns a call)\n", best * 1e3,
              best / one.DerivativeCalls * 1e9);
  std::printf("guarded solver                  %.0f solutions/s (%.3f ms)\n", 1 / guarded,
              guarded * 1e3);
  std::printf("unguarded solver (floor)        %.0f solutions/s (%.3f ms)\n", 1 / bare, bare * 1e3);
  std::printf("guarded / unguarded             %.3f (guard %.1f ns a call)\n", guarded / bare,
              (guarded - bare) / one.DerivativeCalls * 1e9);
  std::printf("one x87 control-word load       %.1f ns (the guard loads none a call)\n",
              ControlWordLoadNanoseconds(quick ? 10000 : 2000000));
  std::printf("one read of the fault flags     %.1f ns (the guard reads them twice a call)\n",
              FlagReadNanoseconds(quick ? 10000 : 2000000));
  const int scopes = quick ? 1000 : 100000;
  const double untimed = ScopeMicroseconds(0, scopes);
  const double timed = ScopeMicroseconds(ws->Prefs.ModelTimeLimit, scopes);
  std::printf(
      "guard scope a solution          %.2f us, with the time limit %.2f us (%.2f %% of a "
      "solution)\n",
      untimed, timed, 100 * timed * 1e-6 / guarded);
  std::printf("solver time / derivative time   %.2f\n", guarded / best);
  std::printf("random search                   %.0f model calls/s (%.3f ms a step)\n", 1 / bestStep,
              bestStep * 1e3);
  std::printf("driver's share of a step        %.1f %%\n", 100 * (bestStep - guarded) / bestStep);
  std::printf(
      "fit Jacobian, 2 parameters      %.1f Jacobians/s, %.0f solutions each (%d residuals)\n",
      1 / jacobianSeconds, solutionsPerJacobian, residuals);
  std::printf(
      "design, 2 points, 202 events    %.1f iterations/s, %.1f solutions each (%.3f ms a "
      "solution)\n",
      1 / iterationSeconds, solutionsPerIteration, designSolve * 1e3);
  std::printf("driver's share of an iteration  %.1f %% (the merge alone %.3f ms)\n",
              100 * (iterationSeconds - solutionsPerIteration * designSolve) / iterationSeconds,
              mergeSeconds * 1e3);
  return 0;
}
