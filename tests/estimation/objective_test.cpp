#include "estimation/objective.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace zelk {
namespace {

TNormalMatrix Matrix(std::initializer_list<std::initializer_list<double>> rows) {
  TNormalMatrix a{};
  int r = 1;
  for (auto row : rows) {
    int c = 1;
    for (double v : row) a[r][c++] = v;
    ++r;
  }
  return a;
}

TEST(Determinant, KnownAnswers) {
  struct Case {
    const char* name;
    TNormalMatrix a;
    int n;
    double det;
  } cases[] = {
      {"1 x 1", Matrix({{-3}}), 1, -3},
      {"2 x 2", Matrix({{1, 2}, {3, 4}}), 2, -2},
      {"permutation", Matrix({{0, 1, 0}, {1, 0, 0}, {0, 0, 1}}), 3, -1},
      {"identity 4", Matrix({{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}), 4, 1},
      {"triangular", Matrix({{2, 5, 7}, {0, 3, 1}, {0, 0, 4}}), 3, 24},
      {"general", Matrix({{6, 1, 1}, {4, -2, 5}, {2, 8, 7}}), 3, -306},
      {"zero row", Matrix({{1, 2, 3}, {0, 0, 0}, {4, 5, 6}}), 3, 0},
      {"dependent rows", Matrix({{1, 2, 3}, {2, 4, 6}, {1, 0, 1}}), 3, 0},
      {"leading block only", Matrix({{1, 2, 9}, {3, 4, 9}, {9, 9, 9}}), 2, -2},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(Determinant(c.a, c.n), c.det, 1e-12 * std::max(1.0, std::fabs(c.det))) << c.name;
}

std::unique_ptr<TYData> Residuals(int dep, const std::vector<std::vector<double>>& m,
                                  const std::vector<std::vector<double>>& c) {
  auto y = std::make_unique<TYData>();
  y->DepCount = dep;
  y->EventCount = static_cast<int>(m.size());
  for (std::size_t j = 0; j < m.size(); ++j)
    for (int i = 0; i < dep; ++i) {
      y->M[j + 1][i + 1] = m[j][i];
      y->C[j + 1][i + 1] = c[j][i];
      y->Defined[j + 1][i + 1] = true;
    }
  return y;
}

TEST(Objective, SumOfSquaresSkipsMissingValuesAndFillsTheResponseSums) {
  auto y = Residuals(2, {{1, 10}, {2, 20}, {3, 30}}, {{1.5, 10}, {2, 18}, {2, 30}});
  y->Defined[3][1] = false;
  TResponseSums sums{};
  EXPECT_DOUBLE_EQ(SumOfSquares(*y, sums), 0.25 + 4);
  EXPECT_DOUBLE_EQ(sums[1], 0.25);
  EXPECT_DOUBLE_EQ(sums[2], 4);
}

TEST(Objective, BoxDraperOfOneResponseIsItsSumOfSquares) {
  auto y = Residuals(1, {{1}, {2}, {4}}, {{0.5}, {2.5}, {3}});
  TResponseSums sums{};
  const double ss = SumOfSquares(*y, sums);
  sums = {};
  EXPECT_DOUBLE_EQ(BoxDraper(*y, sums), ss);
  EXPECT_EQ(sums[1], 0.0);  // not written
  // Two responses: the determinant of the 2 x 2 moment matrix, by hand.
  auto two = Residuals(2, {{1, 1}, {2, 0}}, {{0, 0}, {0, 1}});  // residuals (1,1) and (2,-1)
  EXPECT_DOUBLE_EQ(BoxDraper(*two, sums), 5 * 2 - 1 * 1);
}

TEST(Objective, WeightedSumDividesByTheMeanWithAFloor) {
  auto y = Residuals(1, {{3}, {-1}}, {{1}, {0.5}});
  TResponseSums sums{};
  // (3-1)/2 squared, then (-1.5)/1e-6 squared because the mean -0.25 is below the floor.
  EXPECT_DOUBLE_EQ(WeightedSS(*y, sums), 1.0 + (1.5 / 1e-6) * (1.5 / 1e-6));
  EXPECT_DOUBLE_EQ(sums[1], WeightedSS(*y, sums));
}

}  // namespace
}  // namespace zelk
