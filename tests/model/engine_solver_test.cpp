// The solver alone: a model library built by the C++ compiler, a data set and a context, no
// workspace and no Free Pascal.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

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

}  // namespace
}  // namespace zelk
