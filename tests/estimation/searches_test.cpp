// The searches of the Optimize menu on the engine alone: the trial generators, then each
// search on the model libraries the compiler built, with no workspace and no window.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "base/messages.h"
#include "estimation/fit_searches.h"
#include "estimation/random.h"
#include "estimation/searches.h"
#include "support/fit_engine.h"

namespace zelk {
namespace {

TEST(NextRandom, FollowsTheLinearCongruentialSequence) {
  const std::uint32_t saved = RandomSeed();
  SetRandomSeed(0);
  EXPECT_EQ(NextRandom(), 1.0 / 4294967296.0);
  EXPECT_EQ(NextRandom(), 134775814.0 / 4294967296.0);
  EXPECT_EQ(RandomSeed(), 134775814u);
  SetRandomSeed(saved);
}

TEST(Trials, AParameterAtZeroOrFixedNeverMoves) {
  TParameterRecord r = StartParameterRecord();
  r.Count = 3;
  r.Value[1] = r.TrialValue[1] = 0;
  r.Fixed[3] = true;
  r.TrialValue[3] = 7;
  for (int k = 0; k < 200; ++k) {
    RandomDirectionTrial(r, 10, 3);
    EXPECT_EQ(r.TrialValue[1], 0.0);
    EXPECT_EQ(r.TrialValue[3], 7.0);
    RegionTrial(r);
    EXPECT_EQ(r.TrialValue[1], 0.0);
    EXPECT_EQ(r.TrialValue[3], 7.0);
  }
}

TEST(Trials, StayWithinTheBounds) {
  TParameterRecord r = StartParameterRecord();
  r.Count = 2;
  r.MinBound[1] = 0.9;
  r.MaxBound[1] = 1.1;
  r.Region[1] = r.Region[2] = 5;
  for (int k = 0; k < 500; ++k) {
    RegionTrial(r);
    EXPECT_GE(r.TrialValue[1], 0.9);
    EXPECT_LE(r.TrialValue[1], 1.1);
    EXPECT_GE(r.TrialValue[2], 0.0);  // the default lower bound
  }
}

TEST(Trials, WithEqualCountsTheStepLengthIsOne) {
  TParameterRecord r = StartParameterRecord();
  r.Count = 1;
  for (int k = 0; k < 50; ++k) {
    RandomDirectionTrial(r, 5, 5);
    EXPECT_DOUBLE_EQ(std::fabs(r.TrialValue[1] - 1.0), 0.5);  // |d| = 1, s = 1
  }
}

TEST(Trials, AdaptiveRegionsShrinkByTheirShareOfTheWeight) {
  TParameterRecord r = StartParameterRecord();
  r.Count = 3;
  r.Region[1] = r.Region[2] = r.Region[3] = 1;
  ShrinkRegionsByWeight(r);  // no weight at all: 5 % everywhere
  EXPECT_DOUBLE_EQ(r.Region[1], 0.95);
  r.Value[1] = 2;
  r.Value[2] = -4;
  r.Value[3] = 0;  // gains nothing
  r.TrialValue[1] = 2.5;
  r.TrialValue[2] = -3;
  r.TrialValue[3] = 7;
  r.RegionWeight = {};
  AddRegionWeights(r);
  EXPECT_DOUBLE_EQ(r.RegionWeight[1], 0.25);
  EXPECT_DOUBLE_EQ(r.RegionWeight[2], 0.25);
  EXPECT_EQ(r.RegionWeight[3], 0);
  ShrinkRegionsByWeight(r);
  EXPECT_DOUBLE_EQ(r.Region[1], 0.95 * (1.02 - 0.5 * 3 * 0.05));
  EXPECT_DOUBLE_EQ(r.Region[3], 0.95 * 1.02);  // no weight: grows by 2 %
  EXPECT_DOUBLE_EQ(r.RegionWeight[1], 0.05);
}

// Decay with rate 0.7 measured without noise in one experiment, from a poor start.
std::unique_ptr<test::FitEngine> Decay(const char* library = "decay.dll") {
  auto e = std::make_unique<test::FitEngine>(library, 1);
  e->model.DifEqCount = 1;
  for (double t : {0.0, 0.5, 1.0, 2.0, 3.0, 4.0, 6.0}) e->Measure(t, {std::exp(-0.7 * t)});
  e->Ready();
  e->parameters.Value[1] = e->parameters.TrialValue[1] = 3.0;
  return e;
}

SearchOptions Calls(long calls) {
  SearchOptions options;
  options.Calls = calls;
  return options;
}

TEST(Searches, EachFindsTheRateConstantFromAPoorStart) {
  struct Case {
    const char* name;
    SearchSummary (*run)(Search&, const SearchOptions&);
    long calls;
    double tolerance;
    std::uint32_t successful;  // 0: more than 5
  } cases[] = {
      {"random", RandomSearch, 400, 0.7e-3, 0},
      // Calls 300, 600, 900 and 1200 ended blocks, each one success.
      {"LJ", RegionSearchLJ, 1200, 0.7e-2, 5},
      {"WL", RegionSearchWL, 1200, 0.7e-2, 5},
  };
  for (const Case& c : cases) {
    auto e = Decay();
    const SearchSummary s = c.run(e->search, Calls(c.calls));
    EXPECT_EQ(s.Reason, SearchEnd::Calls) << c.name;
    EXPECT_NEAR(e->parameters.Value[1], 0.7, c.tolerance) << c.name;
    EXPECT_EQ(e->parameters.InitialValue[1], 3.0) << c.name;
    EXPECT_EQ(e->state.TotalCalls, static_cast<std::uint32_t>(c.calls) + 1) << c.name;
    if (c.successful) EXPECT_EQ(e->state.SuccessfulCalls, c.successful) << c.name;
    else EXPECT_GT(e->state.SuccessfulCalls, 5u) << c.name;
    // F-limits restart from the new value.
    EXPECT_EQ(e->parameters.HiFLimit[1], e->parameters.Value[1]) << c.name;
  }
  auto lj = Decay();
  RegionSearchLJ(lj->search, Calls(1200));
  EXPECT_DOUBLE_EQ(lj->parameters.Region[1], 3.0 * std::pow(0.95, 4));  // from the value 3
  auto wl = Decay();
  RegionSearchWL(wl->search, Calls(1200));
  EXPECT_EQ(wl->parameters.SpareA[1], 3.0);
  EXPECT_LT(wl->parameters.Region[1], 3.0);
}

TEST(Searches, ARegionSearchStartedAfterAnotherSearchCanStillImprove) {
  auto e = Decay();
  RandomSearch(e->search, Calls(3));
  ASSERT_TRUE(e->state.ObjectiveReady);
  const double before = e->state.BestObjective;
  e->state.TotalCalls = 1;
  RegionSearchLJ(e->search, Calls(600));
  EXPECT_LT(e->state.BestObjective, before);
}

TEST(Searches, BoundsAndFixedMarksHold) {
  auto fixed = Decay();
  fixed->parameters.Fixed[1] = true;
  RandomSearch(fixed->search, Calls(20));
  EXPECT_EQ(fixed->parameters.Value[1], 3.0);
  // Every trial equals the best and is rejected.
  EXPECT_EQ(fixed->state.SuccessfulCalls, 1u);
  EXPECT_EQ(fixed->state.TotalCalls, 21u);

  auto clamped = Decay();
  clamped->parameters.MinBound[1] = 2.9;
  clamped->parameters.MaxBound[1] = 3.0;
  RandomSearch(clamped->search, Calls(50));
  EXPECT_EQ(clamped->parameters.Value[1], 2.9);  // a trial clamped to a bound can win
}

TEST(Searches, TrialsDroppedEarlyAreNoFailures) {
  auto e = Decay();
  e->prefs.ShowIntegrationErrors = true;
  const SearchSummary s = RandomSearch(e->search, Calls(60));
  EXPECT_EQ(s.Reason, SearchEnd::Calls);
  EXPECT_EQ(s.Trials, 60);
  EXPECT_GT(s.AbandonedCalls, 0);
  EXPECT_EQ(s.AbandonedCalls, e->state.AbandonedSolves);
  EXPECT_EQ(s.FailedCalls, 0);
  EXPECT_TRUE(e->said.empty());
}

// Counts the trials whose rate lies where the model faults, step by step.
struct FaultWatch : PlainRunLoop {
  explicit FaultWatch(const TParameterRecord& table) : table_(table) {}
  void RunSteps(TOperation mode, const std::function<void()>& step) override {
    PlainRunLoop::RunSteps(mode, [&] {
      step();
      if (table_.TrialValue[1] > 1.2) ++faulting;
    });
  }
  void Tell(Severity, const std::string& text) override { said.push_back(text); }
  int faulting = 0;
  std::vector<std::string> said;

 private:
  const TParameterRecord& table_;
};

TEST(Searches, AModelThatFailsForSomeParametersReportsExactlyThoseAndNeverKeepsThem) {
  for (auto run : {RandomSearch, RegionSearchLJ}) {
    auto e = Decay("fault_above.dll");  // faults whenever the rate is above 1.2
    e->prefs.ShowIntegrationErrors = true;
    e->parameters.Value[1] = e->parameters.TrialValue[1] = 1.1;
    FaultWatch watch(e->parameters);
    Search search{e->problem, e->parameters, e->state, watch};
    const SearchSummary s = run(search, Calls(200));
    ASSERT_GT(watch.faulting, 0);
    EXPECT_EQ(s.FailedCalls, watch.faulting);
    EXPECT_EQ(e->state.FailedSolves, watch.faulting);
    EXPECT_EQ(watch.said.back(), "Solve Model Failed [" + std::to_string(watch.faulting) + "]");
    EXPECT_LE(e->parameters.Value[1], 1.2);
  }
}

TEST(Searches, ASearchEndsByItsOwnLimitsAndSaysWhy) {
  auto e = Decay();
  e->parameters.Fixed[1] = true;  // nothing ever improves
  SearchOptions options = Calls(100);
  options.Stall = 10;
  SearchSummary s = RandomSearch(e->search, options);
  EXPECT_EQ(s.Reason, SearchEnd::Stall);
  EXPECT_EQ(s.Trials, 11);  // the first trial sets the best to compare with
  EXPECT_EQ(s.BriefReport(), "ended (stall) after 11 trials, 0 failed, 0 abandoned early");
  e->model.UnloadModelLibrary({});
  e->state.ObjectiveReady = false;
  s = RandomSearch(e->search, options);
  EXPECT_EQ(s.Reason, SearchEnd::InitialSolveFailed);
  EXPECT_EQ(s.Trials, 0);
}

// y = a + b x or y = a exp(-b x) through the points, from (a, b).
std::unique_ptr<test::FitEngine> TwoParameters(const char* library, const std::vector<double>& x,
                                               const std::vector<double>& y, double a, double b) {
  auto e = std::make_unique<test::FitEngine>(library, 2);
  for (std::size_t j = 0; j < x.size(); ++j) e->Measure(x[j], {y[j]});
  e->Ready();
  e->parameters.Value[1] = e->parameters.TrialValue[1] = a;
  e->parameters.Value[2] = e->parameters.TrialValue[2] = b;
  return e;
}

TEST(GaussNewton, ReachesTheOptimumOfAnExponentialToSixDigitsAndEndsByItself) {
  std::vector<double> times, y;
  for (int j = 0; j < 8; ++j) {
    times.push_back(0.5 * j);
    y.push_back(2 * std::exp(-0.3 * 0.5 * j));
  }
  auto e = TwoParameters("algebraic.dll", times, y, 1.0, 1.0);
  // As the window runs it: no limits, no Stop.
  const SearchSummary s = GaussNewtonSearch(e->search, {});
  EXPECT_EQ(s.Reason, SearchEnd::Stall);
  EXPECT_EQ(e->said.back(), msg::kGNConverged);
  EXPECT_NEAR(e->parameters.Value[1], 2.0, 2e-6);
  EXPECT_NEAR(e->parameters.Value[2], 0.3, 3e-7);
  EXPECT_LT(s.Trials, 30);
}

TEST(GaussNewton, AStepWhoseFullCorrectionImprovesSolvesOnceAfterTheJacobian) {
  auto e = TwoParameters("linear.dll", {1, 2, 3, 4}, {3.1, 4.9, 7.2, 8.8}, 5, -3);
  const std::uint32_t total = e->state.TotalCalls;
  GaussNewtonSearch(e->search, Calls(1));
  // The start, the Jacobian (base and two trials per parameter), the full step, and the
  // estimates solved once more at the end.
  EXPECT_EQ(e->problem.Stats.Solutions, 1 + 5 + 1 + 1);
  EXPECT_EQ(e->state.TotalCalls, total + 1);
  EXPECT_NEAR(e->parameters.Value[1], 1.15, 1e-9);  // the least-squares line
  EXPECT_NEAR(e->parameters.Value[2], 1.94, 1e-9);
  // At the optimum the correction is rounding: at most seven trials, and nothing moves.
  const T20Vector best = e->parameters.Value;
  e->problem.Stats = {};
  GaussNewtonSearch(e->search, Calls(1));
  EXPECT_LE(e->problem.Stats.Solutions, 5 + 7 + 1);
  EXPECT_NEAR(e->parameters.Value[1], best[1], 1e-9);
  EXPECT_NEAR(e->parameters.Value[2], best[2], 1e-9);
}

// A model that faults after some thousand calls: the search ends as a failure, never as
// converged, and zelkcli's status follows it.
TEST(GaussNewton, AModelThatStopsSolvingEndsTheSearchAsAFailure) {
  auto e = std::make_unique<test::FitEngine>("fault_late.dll", 1);
  e->model.DifEqCount = 1;
  for (double t : {0.0, 1.0, 2.0, 3.0}) e->Measure(t, {t == 0 ? 1.0 : 0.5});
  e->Ready();
  e->parameters.Value[1] = e->parameters.TrialValue[1] = 5;
  SearchOptions options;
  options.Stall = 1000;
  const SearchSummary s = GaussNewtonSearch(e->search, options);
  EXPECT_EQ(s.Reason, SearchEnd::SolveFailed);
  EXPECT_EQ(e->state.Result.Message, msg::kGNFailed);
  EXPECT_EQ(e->said.back(), msg::kGNFailed);
}

}  // namespace
}  // namespace zelk
