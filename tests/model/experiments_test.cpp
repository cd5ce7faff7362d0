#include "model/experiments.h"

#include <gtest/gtest.h>

#include <memory>

namespace zelk {
namespace {

TEST(Experiments, StartWhereTimeDecreasesOrAConditionChanges) {
  auto x = std::make_unique<TXData>();
  x->IndepCount = 2;
  // time, condition
  const double rows[][2] = {{0, 1}, {1, 1}, {1, 1}, {0, 1}, {2, 1}, {3, 2}, {3, 2}};
  for (int j = 1; j <= 7; ++j) {
    x->X[j][1] = rows[j - 1][0];
    x->X[j][2] = rows[j - 1][1];
  }
  EXPECT_TRUE(SameExperiment(*x, 2, 3));  // equal time stays
  EXPECT_FALSE(SameExperiment(*x, 3, 4));
  EXPECT_FALSE(SameExperiment(*x, 5, 6));  // condition changes without time decreasing
  EXPECT_EQ(CountExperiments(*x, 7), 3);
  EXPECT_EQ(CountExperiments(*x, 1), 1);
  EXPECT_EQ(NextExperimentStart(*x, 1, 7), 4);
  EXPECT_EQ(NextExperimentStart(*x, 4, 7), 6);
  EXPECT_EQ(NextExperimentStart(*x, 6, 7), -1);
  x->IndepCount = 1;  // the condition no longer counts
  EXPECT_EQ(CountExperiments(*x, 7), 2);
}

}  // namespace
}  // namespace zelk
