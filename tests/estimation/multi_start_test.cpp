#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <set>

#include "estimation/multi_start.h"
#include "estimation/start_pool.h"

namespace zelk {
namespace {

TEST(MultiStart, LatinHypercubeFillsEachStratumOnceInTheParametersScaleReproducibly) {
  TParameterRecord table = StartParameterRecord();
  Resize(table, 3);
  table.Value[1] = 2;  // linear in [0, 10]
  table.MinBound[1] = 0;
  table.MaxBound[1] = 10;
  table.Value[2] = 1;  // log10 in [1e-3, 1e3]
  table.MinBound[2] = 1e-3;
  table.MaxBound[2] = 1e3;
  table.Scale[2] = TScale::Log10;
  table.Value[3] = 7;  // fixed
  table.Fixed[3] = true;
  const int n = 11;
  const auto starts = LatinHypercubeStarts(table, n, 42);
  ASSERT_EQ(starts.size(), 11u);
  EXPECT_EQ(starts[0], table.Value);  // start 1 is where the table stands
  std::set<int> linear, logarithmic;
  for (int k = 1; k < n; ++k) {
    linear.insert(static_cast<int>(starts[k][1] / 10 * (n - 1)));
    logarithmic.insert(static_cast<int>((std::log10(starts[k][2]) + 3) / 6 * (n - 1)));
    EXPECT_EQ(starts[k][3], 7);
  }
  EXPECT_EQ(linear.size(), 10u);       // one start in each tenth of [0, 10]
  EXPECT_EQ(logarithmic.size(), 10u);  // and of the decades, not of [1e-3, 1e3] itself
  EXPECT_EQ(LatinHypercubeStarts(table, n, 42), starts);
  EXPECT_NE(LatinHypercubeStarts(table, n, 43), starts);
  // Fixing a parameter moves no other parameter's starts.
  TParameterRecord fixed = table;
  fixed.Fixed[1] = true;
  EXPECT_EQ(LatinHypercubeStarts(fixed, n, 42)[5][2], starts[5][2]);
  EXPECT_EQ(ShardStarts(7, 2, 3), (std::vector<int>{2, 5}));
}

// A start that crashes or hangs ends alone: every other result arrives.
TEST(MultiStart, ChildrenThatCrashOrHangEndAloneAndTheOthersFinish) {
  std::map<int, ChildOutcome> outcomes;
  RunInChildren(
      {1, 2, 3, 4, 5}, 2, 1.0,
      [](int k) -> std::string {
        if (k == 3) std::abort();
        if (k == 4) ::sleep(30);
        return "result " + std::to_string(k);
      },
      [&](int k, const ChildOutcome& o) { outcomes[k] = o; });
  ASSERT_EQ(outcomes.size(), 5u);
  for (int k : {1, 2, 5}) {
    EXPECT_EQ(outcomes[k].Result, ChildOutcome::Kind::Done) << k;
    EXPECT_EQ(outcomes[k].Text, "result " + std::to_string(k));
  }
  EXPECT_EQ(outcomes[3].Result, ChildOutcome::Kind::Crashed);
  EXPECT_EQ(outcomes[4].Result, ChildOutcome::Kind::TimeLimit);
  EXPECT_LT(outcomes[4].Seconds, 5);
}

TEST(MultiStart, SortsByObjectiveWithFailuresLastAndCountsThoseNearTheBest) {
  std::vector<StartResult> r(5);
  const double objectives[] = {3.0, HUGE_VAL, 1.0, 1.0005, 1.01};
  for (int k = 0; k < 5; ++k) {
    r[k].Start = k + 1;
    r[k].Objective = objectives[k];
  }
  SortStarts(r);
  std::vector<int> order;
  for (const StartResult& s : r) order.push_back(s.Start);
  EXPECT_EQ(order, (std::vector<int>{3, 4, 5, 1, 2}));
  EXPECT_EQ(CountReachingBest(r), 2);
}

}  // namespace
}  // namespace zelk
