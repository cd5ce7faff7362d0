// Robertson's stiff reaction: Merson gives up, BDF (CVODES) solves it to a reference solution
// and Levenberg-Marquardt fits its three rate constants from twice the answer.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "estimation/fit_searches.h"
#include "support/fit_engine.h"

namespace zelk {
namespace {

// t, A, B, C from a Radau solution at rtol 1e-12, atol 1e-16.
const double kReference[][4] = {
    {0.0, 1.0, 0.0, 0.0},
    {0.09999999999999999, 0.9960777474424583, 3.580437235042236e-05, 0.003886448185193164},
    {0.21544346900318834, 0.9917361634021515, 3.5021044232839534e-05, 0.008228815553617961},
    {0.46415888336127786, 0.9829898698189592, 3.348655931117266e-05, 0.01697664362173214},
    {1.0, 0.9664597373330109, 3.074626578578735e-05, 0.033509516401205905},
    {2.1544346900318834, 0.9382862080234137, 2.6554224673658103e-05, 0.06168723775191526},
    {4.641588833612777, 0.8963081434141289, 2.1369626810391807e-05, 0.10367048695906358},
    {10.0, 0.8413699238414805, 1.623390937990645e-05, 0.1586138422491419},
    {21.54434690031882, 0.7756278796980193, 1.1926427095246077e-05, 0.2243601938748868},
    {46.41588833612778, 0.7006061257130027, 8.616634491484467e-06, 0.2993852576525075},
    {100.0, 0.6172348823960642, 6.15359127463849e-06, 0.38275896401266307},
    {215.44346900318823, 0.5268290952871446, 4.334526349576249e-06, 0.4731665701865071},
    {464.15888336127773, 0.4319577746731775, 2.99439223993889e-06, 0.5680392309345844},
    {1000.0, 0.3368745306608585, 2.013702318262739e-06, 0.6631234556368243}};
constexpr int kEvents = 14;
const double kRates[] = {0.04, 3e7, 1e4};

struct Robertson : test::FitEngine {
  explicit Robertson(std::uint8_t integrator) : FitEngine("robertson", 3) {
    for (const auto& row : kReference) Measure(row[0], {row[1], row[2], row[3]});
    Ready();
    model.DifEqCount = 3;
    prefs.Integrator = integrator;
    prefs.ShowIntegrationErrors = true;
    for (int i = 1; i <= 3; ++i) {
      parameters.Value[i] = kRates[i - 1];
      parameters.MaxBound[i] = 1e12;
    }
  }
};

TEST(StiffFit, MersonGivesUpWhereBdfMeetsTheReferenceWithinItsTolerance) {
  Robertson merson(kMerson);
  EXPECT_EQ(merson.problem.Solve(merson.parameters.Value), SolveResult::PrecisionNotReached);

  Robertson bdf(kBdf);
  ASSERT_EQ(bdf.problem.Solve(bdf.parameters.Value), SolveResult::Solved);
  for (int j = 2; j <= kEvents; ++j)
    for (int i = 1; i <= 3; ++i) {
      const double want = kReference[j - 1][i], got = bdf.measured->YData.C[j][i];
      EXPECT_NEAR(got, want, 1e-4 * std::fabs(want) + 1e-9) << j << " " << i;
    }
  // Alone in its interval or going on from the last one, the same numbers.
  const double last = bdf.measured->YData.C[kEvents][2];
  ASSERT_EQ(bdf.problem.Solve(bdf.parameters.Value), SolveResult::Solved);
  EXPECT_EQ(bdf.measured->YData.C[kEvents][2], last);
}

// At the default tolerances, from difference quotients and from forward sensitivities alike.
TEST(StiffFit, LevenbergMarquardtWithBdfFitsTheRateConstantsFromTwiceTheAnswer) {
  for (const bool sensitivities : {false, true}) {
    Robertson r(kBdf);
    r.prefs.SensitivityJacobian = sensitivities;
    // B lies five orders of magnitude below A and C: with plain squares only k3 / sqrt(k2)
    // shows in the fit; relative residuals let B count.
    r.problem.ObjectiveKind = TObjectiveKind::WeightedSS;
    for (int i = 1; i <= 3; ++i) r.parameters.Value[i] = 2 * kRates[i - 1];
    const SearchSummary s = LMSearch(r.search, {});
    EXPECT_EQ(s.Reason, SearchEnd::Converged) << r.state.Result.Message;
    for (int i = 1; i <= 3; ++i)
      EXPECT_NEAR(s.Values[i] / kRates[i - 1], 1, 1e-3) << i << " " << sensitivities;
  }
}

}  // namespace
}  // namespace zelk
