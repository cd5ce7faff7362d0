// The solver alone: a model library built by the C++ compiler, a data set and a context, no
// workspace and no Free Pascal.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "model/bdf_integrator.h"
#include "model/jacobian.h"
#include "model/solver.h"

namespace zelk {
namespace {

TEST(EngineSolver, MersonFollowsExponentialDecayAcrossTwoExperimentsAndFormsItsJacobian) {
  TModel model;
  ASSERT_TRUE(model.LoadModelLibrary(std::string(MODEL_DIR) + "/decay_ode.so", {}));
  model.DifEqCount = 1;
  auto data = std::make_unique<TDataSet>();
  const double times[] = {0, 1, 2, 4, 0, 3};  // the second experiment restarts at 0 from 2.0
  data->YData.EventCount = 6;
  for (int j = 1; j <= 6; ++j) {
    data->XData.X[j][1] = times[j - 1];
    data->XData.Defined[j][1] = data->YData.Defined[j][1] = true;
    data->YData.M[j][1] = j == 5 ? 2.0 : 1.0;
  }
  ComputeRanges(*data);
  MessageLog log{[] {}};
  SolverStats stats;
  const MessageSink silent;
  SolveContext ctx{model, *data, silent, log, stats};
  T20Vector p{};
  p[1] = 0.7;
  ASSERT_EQ(SolveModel(ctx, p, data->XData, data->YData), SolveResult::Solved);
  for (int j = 1; j <= 6; ++j) {
    const double start = j >= 5 ? 2.0 : 1.0;
    EXPECT_NEAR(data->YData.C[j][1], start * std::exp(-0.7 * times[j - 1]), 1e-4) << j;
  }
  EXPECT_EQ(stats.Solutions, 1);

  // dC/dk = -t C: the residuals leave out each experiment's first event.
  auto work = std::make_unique<JacobianWork>();
  ASSERT_TRUE(ComputeJacobian(ctx, *work, p, AllColumns(1), *data));
  ASSERT_EQ(work->ResidualCount, 4);
  for (int n = 1; n <= 4; ++n) {
    const int e = work->ResidualCells[n].Event;
    EXPECT_NEAR(work->Jacobian[n][1], -times[e - 1] * data->YData.C[e][1], 2e-3) << n;
  }
}

// A response beyond the differential ones holds its value through the integration, and the
// derivatives read it there, whichever integrator runs.
TEST(EngineSolver, AResponseNoEquationMovesHoldsItsValueForTheDerivatives) {
  for (const bool bdf : {false, true}) {
    TModel model;
    ASSERT_TRUE(model.LoadModelLibrary(std::string(MODEL_DIR) + "/held_rate.so", {}));
    model.DifEqCount = 1;
    auto data = std::make_unique<TDataSet>();
    data->YData.EventCount = 3;
    data->YData.DepCount = 2;
    for (int j = 1; j <= 3; ++j) {
      data->XData.X[j][1] = j - 1.0;
      data->XData.Defined[j][1] = data->YData.Defined[j][1] = data->YData.Defined[j][2] = true;
      data->YData.M[j][1] = 1.0;
      data->YData.M[j][2] = 0.7;
    }
    ComputeRanges(*data);
    MessageLog log{[] {}};
    SolverStats stats;
    const MessageSink silent;
    BdfIntegrator integrator;
    SolveContext ctx{model, *data, silent, log, stats};
    if (bdf) ctx.Bdf = &integrator;
    ASSERT_EQ(SolveModel(ctx, T20Vector{}, data->XData, data->YData), SolveResult::Solved) << bdf;
    for (int j = 1; j <= 3; ++j) {
      EXPECT_NEAR(data->YData.C[j][1], std::exp(-0.7 * (j - 1)), 1e-4) << j << " " << bdf;
      EXPECT_EQ(data->YData.C[j][2], 0.7) << j << " " << bdf;
    }
  }
}

}  // namespace
}  // namespace zelk
