#pragma once
// Critical values for the statistics, as the printed tables give them: Student's t (two-sided
// 95 %), the upper 5 % points of the F distribution and the two critical values of the
// residual autocorrelation statistic D. The t and F entries are computed once from the F
// distribution (an incomplete-beta inversion) and rounded as the printed tables round them.

#include <cstdint>

namespace zelk {

// nu = 1..30 individually; 31..40, 41..60 and 61..120 in bands; every other nu 1.960.
long double StudentT95(std::uint16_t nu);
// Columns nu1 = 1..11, 12, 14, 16, 20, 24, 30, 40, 50 and 75..255 (shared by the nu1 between
// them), rows nu2 = 1..30 (1..16 from the column of 14 on); another nu2 gives the column's
// default; nu1 = 0 or above 255 gives 0.
long double FisherF95(std::uint16_t nu1, std::uint16_t nu2);
// -1 for n < 4 (no test); tabulated to 30, interpolated to 60, constant beyond.
long double DCritPositive(std::uint16_t n);
long double DCritNegative(std::uint16_t n);

// The distributions behind the tables, for tests and for values the tables leave out.
// Regularized incomplete beta I_x(a, b), 0 <= x <= 1, a, b > 0.
double IncompleteBeta(double a, double b, double x);
// The p quantile of the F distribution with (nu1, nu2) degrees of freedom, 0 < p < 1.
double FQuantile(double nu1, double nu2, double p);

}  // namespace zelk
