#include "estimation/quantiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace zelk {
namespace {

// The distribution against closed forms: F(2, n) has one, and t with 1 and 2 degrees of
// freedom too (t squared is F(1, n)).
TEST(Quantiles, TheFDistributionMatchesItsClosedForms) {
  EXPECT_NEAR(IncompleteBeta(1, 1, 0.3), 0.3, 1e-15);
  EXPECT_NEAR(IncompleteBeta(2.5, 2.5, 0.5), 0.5, 1e-14);
  EXPECT_NEAR(IncompleteBeta(3, 1, 0.7), std::pow(0.7, 3), 1e-14);
  for (int n : {1, 2, 3, 5, 10, 30, 120, 1000}) {
    const double exact = n / 2.0 * (std::pow(0.05, -2.0 / n) - 1);
    EXPECT_NEAR(FQuantile(2, n, 0.95), exact, 1e-9 * exact) << n;
  }
  const double cauchy = std::tan(0.475 * std::numbers::pi);
  EXPECT_NEAR(FQuantile(1, 1, 0.95), cauchy * cauchy, 1e-8);
  const double p = 0.975, t2 = (2 * p - 1) * std::sqrt(2 / (4 * p * (1 - p)));
  EXPECT_NEAR(FQuantile(1, 2, 0.95), t2 * t2, 1e-10);
}

// Upper 5 % points from SciPy 1.10 (scipy.stats.f.ppf(0.95, nu1, nu2)), an implementation
// independent of ours.
TEST(Quantiles, TheFQuantileAgreesWithAnIndependentImplementation) {
  struct Point {
    int nu1, nu2;
    double value;
  } points[] = {{3, 4, 6.591382116425578},   {3, 7, 4.346831399907815},
                {6, 13, 2.9152692387027512}, {12, 4, 5.911729109110719},
                {12, 7, 3.574676446629416},  {24, 13, 2.420195676588918},
                {7, 23, 2.4422260856848577}, {17, 9, 2.9736959957990807},
                {1, 29, 4.18296428905827},   {20, 3, 8.660189801930695}};
  for (const Point& q : points)
    EXPECT_NEAR(FQuantile(q.nu1, q.nu2, 0.95), q.value, 1e-9 * q.value) << q.nu1 << " " << q.nu2;
}

// The likelihood-ratio threshold's: 95 % points of chi-square on 1, 5 and 30 degrees.
TEST(Quantiles, FOnAMillionDenominatorDegreesIsChiSquareOverItsDegrees) {
  EXPECT_NEAR(FQuantile(1, 1e6, 0.95), 3.841458820694124, 1e-4);
  EXPECT_NEAR(5 * FQuantile(5, 1e6, 0.95), 11.070497693516351, 1e-3);
  EXPECT_NEAR(30 * FQuantile(30, 1e6, 0.95), 43.77297182574219, 1e-3);
}

TEST(Quantiles, StudentTIsThePrintedTable) {
  const double printed[31] = {0,     12.706, 4.303, 3.182, 2.776, 2.571, 2.447, 2.365,
                              2.306, 2.262,  2.228, 2.201, 2.179, 2.160, 2.145, 2.131,
                              2.120, 2.110,  2.101, 2.093, 2.086, 2.080, 2.074, 2.069,
                              2.064, 2.060,  2.056, 2.052, 2.048, 2.045, 2.042};
  for (int nu = 1; nu <= 30; ++nu) EXPECT_NEAR(StudentT95(nu), printed[nu], 1e-12) << nu;
  const std::pair<int, double> bands[] = {{0, 1.960},   {31, 2.021},  {40, 2.021},
                                          {41, 2.000},  {60, 2.000},  {61, 1.980},
                                          {120, 1.980}, {121, 1.960}, {65535, 1.960}};
  for (auto [nu, value] : bands) EXPECT_NEAR(StudentT95(nu), value, 1e-12) << nu;
}

TEST(Quantiles, FisherFHoldsEveryPrintedEntry) {
  struct Column {
    int nu1;
    double row1, row2, row10, last, fallback;
  } columns[] = {{1, 161, 18.51, 4.96, 4.17, 4.15},  {2, 200, 19.00, 4.10, 3.32, 3.30},
                 {3, 216, 19.16, 3.71, 2.92, 2.90},  {4, 225, 19.25, 3.48, 2.69, 2.67},
                 {5, 230, 19.30, 3.33, 2.53, 2.50},  {6, 234, 19.33, 3.22, 2.42, 2.40},
                 {7, 237, 19.36, 3.14, 2.34, 2.32},  {8, 239, 19.37, 3.07, 2.27, 2.25},
                 {9, 241, 19.38, 3.02, 2.21, 2.19},  {10, 242, 19.39, 2.97, 2.16, 2.14},
                 {11, 243, 19.40, 2.94, 2.12, 2.10}, {13, 244, 19.41, 2.91, 2.09, 2.07},
                 {15, 245, 19.42, 2.86, 2.37, 2.33}, {19, 246, 19.43, 2.82, 2.33, 2.29},
                 {23, 248, 19.44, 2.77, 2.28, 2.23}, {29, 249, 19.45, 2.74, 2.24, 2.19},
                 {39, 250, 19.46, 2.70, 2.20, 2.15}, {49, 251, 19.47, 2.67, 2.16, 2.11},
                 {74, 252, 19.47, 2.64, 2.13, 2.08}, {255, 253, 19.49, 2.59, 2.07, 2.02}};
  for (const Column& c : columns) {
    const int last = c.nu1 <= 13 ? 30 : 16;
    EXPECT_NEAR(FisherF95(c.nu1, 1), c.row1, 1e-9) << c.nu1;
    EXPECT_NEAR(FisherF95(c.nu1, 2), c.row2, 1e-9) << c.nu1;
    EXPECT_NEAR(FisherF95(c.nu1, 10), c.row10, 1e-9) << c.nu1;
    EXPECT_NEAR(FisherF95(c.nu1, last), c.last, 1e-9) << c.nu1;
    EXPECT_NEAR(FisherF95(c.nu1, 0), c.fallback, 1e-9) << c.nu1;
    EXPECT_NEAR(FisherF95(c.nu1, last + 1), c.fallback, 1e-9) << c.nu1;
  }
  const double first[30] = {161,  18.51, 10.13, 7.71, 6.61, 5.99, 5.59, 5.32, 5.12, 4.96,
                            4.84, 4.75,  4.67,  4.60, 4.54, 4.49, 4.45, 4.41, 4.38, 4.35,
                            4.32, 4.30,  4.28,  4.26, 4.24, 4.22, 4.21, 4.20, 4.18, 4.17};
  for (int r = 1; r <= 30; ++r) EXPECT_NEAR(FisherF95(1, r), first[r - 1], 1e-9) << r;
  // Entries the printed summary leaves out: the quantile rounded as printed.
  for (int nu1 : {3, 6, 12, 24})
    for (int nu2 : {4, 7, 13}) {
      const double exact = FQuantile(nu1, nu2, 0.95);
      EXPECT_NEAR(FisherF95(nu1, nu2), exact, 0.005 + 1e-12) << nu1 << " " << nu2;
    }
  EXPECT_NEAR(FisherF95(4, 20), 2.87, 1e-9);
  EXPECT_NEAR(FisherF95(2, 5), 5.79, 1e-9);
  EXPECT_NEAR(FisherF95(5, 12), 3.11, 1e-9);
  EXPECT_NEAR(FisherF95(13, 40), 2.07, 1e-9);
  EXPECT_EQ(FisherF95(300, 5), 0);
  EXPECT_EQ(FisherF95(0, 5), 0);
}

TEST(Quantiles, DCriticalValuesAreTabulatedInterpolatedAndThenConstant) {
  EXPECT_EQ(DCritNegative(3), -1);
  EXPECT_EQ(DCritPositive(0), -1);
  EXPECT_NEAR(DCritPositive(4), 1.0106, 1e-12);
  EXPECT_NEAR(DCritNegative(30), 2.6707, 1e-12);
  EXPECT_NEAR(DCritPositive(33), 1.4672 + 3 * 0.00684, 1e-12);
  EXPECT_NEAR(DCritNegative(36), 2.6163 - 0.00882, 1e-12);
  EXPECT_NEAR(DCritPositive(60), 1.6082, 1e-12);
  EXPECT_NEAR(DCritNegative(60), 2.4596, 1e-12);
  EXPECT_EQ(DCritPositive(61), DCritPositive(60));
  EXPECT_EQ(DCritNegative(1000), DCritNegative(60));
}

}  // namespace
}  // namespace zelk
