// A fit engine with no workspace: a problem over a C++ model library, searched on a plain
// run loop, against a published nonlinear regression benchmark's certified results.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "base/messages.h"
#include "estimation/estimation_session.h"

namespace zelk {
namespace {

// NIST StRD Misra1a: 14 observations, y = b1 (1 - exp(-b2 x)).
const double kX[] = {77.6,  114.9, 141.1, 190.8, 239.9, 289.0, 332.8,
                     378.4, 434.8, 477.3, 536.8, 593.1, 689.1, 760.0};
const double kY[] = {10.07, 14.73, 17.94, 23.93, 29.61, 35.18, 40.02,
                     44.82, 50.76, 55.05, 61.01, 66.40, 75.47, 81.78};
constexpr double kB1 = 2.3894212918E+02, kB2 = 5.5015643181E-04, kRss = 1.2455138894E-01;

struct Engine {
  Engine() {
    TDataSet& d = *measured;
    d.YData.EventCount = 14;
    for (int j = 1; j <= 14; ++j) {
      d.XData.X[j][1] = kX[j - 1];
      d.XData.Defined[j][1] = true;
      d.YData.M[j][1] = kY[j - 1];
      d.YData.Defined[j][1] = true;
    }
    ComputeRanges(d);
    model.LoadModelLibrary(std::string(MODEL_DIR) + "/misra1a.so", loop_say);
    parameters.Count = 2;
  }
  MessageSink loop_say = [this](Severity, const std::string& text) { said.push_back(text); };
  std::vector<std::string> said;
  TModel model;
  std::unique_ptr<TDataSet> measured = std::make_unique<TDataSet>();
  TZelkPrefs prefs;
  MessageLog log{[] {}};
  FitProblem problem{model, *measured, prefs, log};
  TParameterRecord parameters = StartParameterRecord();
  PlainRunLoop loop{loop_say};
  EstimationSession session{problem, parameters, loop};
};

// Gauss-Newton from the second (near) published start; from the first it does not get there.
TEST(CertifiedFit, GaussNewtonReachesMisra1aFromTheNearStart) {
  auto e = std::make_unique<Engine>();
  ASSERT_FALSE(e->model.LibFileName.empty());
  e->parameters.Value[1] = 250;
  e->parameters.Value[2] = 5e-4;
  SearchOptions options;
  options.Calls = 500;
  const SearchSummary s = e->session.OptimizeGN(options);
  EXPECT_EQ(s.Reason, SearchEnd::Stall);
  EXPECT_EQ(s.FailedCalls, 0);
  // Forward differences limit the values to some five digits, the sum of squares to more.
  EXPECT_NEAR(s.Values[1] / kB1, 1, 1e-5);
  EXPECT_NEAR(s.Values[2] / kB2, 1, 1e-5);
  EXPECT_NEAR(s.Objective / kRss, 1, 1e-8);
  EXPECT_EQ(e->said, std::vector<std::string>{msg::kGNConverged});
  // The statistics come from the same problem: N = 14 residuals, nu = N - 1 - p.
  ASSERT_TRUE(e->session.ComputeStdErrors());
  EXPECT_EQ(e->session.Result.Statistics.Observations, 14);
  EXPECT_EQ(e->session.Result.Statistics.Dof, 11);
}

}  // namespace
}  // namespace zelk
