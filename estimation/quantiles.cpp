#include "estimation/quantiles.h"

#include <array>
#include <cmath>

namespace zelk {

namespace {

// The continued fraction of the incomplete beta function, evaluated by the modified Lentz
// method; converges fast for x < (a + 1) / (a + b + 2).
double BetaFraction(double a, double b, double x) {
  constexpr double kTiny = 1e-300, kEpsilon = 1e-16;
  double c = 1, d = 1 - (a + b) * x / (a + 1);
  if (std::fabs(d) < kTiny) d = kTiny;
  d = 1 / d;
  double h = d;
  for (int m = 1; m <= 10000; ++m) {
    const double m2 = 2.0 * m;
    double numerator = m * (b - m) * x / ((a + m2 - 1) * (a + m2));
    d = 1 + numerator * d;
    c = 1 + numerator / c;
    if (std::fabs(d) < kTiny) d = kTiny;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1 / d;
    h *= d * c;
    numerator = -(a + m) * (a + b + m) * x / ((a + m2) * (a + m2 + 1));
    d = 1 + numerator * d;
    c = 1 + numerator / c;
    if (std::fabs(d) < kTiny) d = kTiny;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1 / d;
    const double step = d * c;
    h *= step;
    if (std::fabs(step - 1) < kEpsilon) break;
  }
  return h;
}

// Three significant figures from 100 on, two decimals below: the printed table's rounding.
double PrintedF(double v) { return v >= 100 ? std::round(v) : std::round(v * 100) / 100; }

constexpr int kFColumns = 20;
constexpr int kFRows = 30;
// The smallest nu1 of each column but the last, whose entries are printed.
constexpr int kColumnNu1[kFColumns - 1] = {1,  2,  3,  4,  5,  6,  7,  8,  9, 10,
                                           11, 12, 14, 16, 20, 24, 30, 40, 50};
constexpr double kLastColumn[16] = {253,  19.49, 8.56, 5.66, 4.40, 3.71, 3.28, 2.98,
                                    2.76, 2.59,  2.45, 2.35, 2.26, 2.19, 2.12, 2.07};
constexpr double kColumnDefault[kFColumns] = {4.15, 3.30, 2.90, 2.67, 2.50, 2.40, 2.32,
                                              2.25, 2.19, 2.14, 2.10, 2.07, 2.33, 2.29,
                                              2.23, 2.19, 2.15, 2.11, 2.08, 2.02};

// The entries the printed table is quoted with: rows 1, 2, 10 and the last row of every
// column, and the whole first column. A few differ from the exact quantile rounded by one in
// the last digit (F(7, 2) is 19.353, printed 19.36); the printed values are kept, since
// results are compared with them.
constexpr double kListed[kFColumns - 1][4] = {
    {161, 18.51, 4.96, 4.17}, {200, 19.00, 4.10, 3.32}, {216, 19.16, 3.71, 2.92},
    {225, 19.25, 3.48, 2.69}, {230, 19.30, 3.33, 2.53}, {234, 19.33, 3.22, 2.42},
    {237, 19.36, 3.14, 2.34}, {239, 19.37, 3.07, 2.27}, {241, 19.38, 3.02, 2.21},
    {242, 19.39, 2.97, 2.16}, {243, 19.40, 2.94, 2.12}, {244, 19.41, 2.91, 2.09},
    {245, 19.42, 2.86, 2.37}, {246, 19.43, 2.82, 2.33}, {248, 19.44, 2.77, 2.28},
    {249, 19.45, 2.74, 2.24}, {250, 19.46, 2.70, 2.20}, {251, 19.47, 2.67, 2.16},
    {252, 19.47, 2.64, 2.13}};
constexpr double kFirstColumn[30] = {161,  18.51, 10.13, 7.71, 6.61, 5.99, 5.59, 5.32, 5.12, 4.96,
                                     4.84, 4.75,  4.67,  4.60, 4.54, 4.49, 4.45, 4.41, 4.38, 4.35,
                                     4.32, 4.30,  4.28,  4.26, 4.24, 4.22, 4.21, 4.20, 4.18, 4.17};

int ColumnOf(int nu1) {
  if (nu1 <= 11) return nu1 - 1;
  if (nu1 <= 13) return 11;
  if (nu1 <= 15) return 12;
  if (nu1 <= 19) return 13;
  if (nu1 <= 23) return 14;
  if (nu1 <= 29) return 15;
  if (nu1 <= 39) return 16;
  if (nu1 <= 49) return 17;
  if (nu1 <= 74) return 18;
  return 19;
}

int RowsOf(int column) { return column <= 11 ? 30 : 16; }

struct FTable {
  std::array<std::array<double, kFRows + 1>, kFColumns> Entry{};
  FTable() {
    for (int c = 0; c < kFColumns; ++c)
      for (int r = 1; r <= RowsOf(c); ++r)
        Entry[c][r] = c == kFColumns - 1 ? kLastColumn[r - 1]
                      : c == 0           ? kFirstColumn[r - 1]
                                         : PrintedF(FQuantile(kColumnNu1[c], r, 0.95));
    for (int c = 0; c < kFColumns - 1; ++c) {
      const int rows[4] = {1, 2, 10, RowsOf(c)};
      for (int i = 0; i < 4; ++i) Entry[c][rows[i]] = kListed[c][i];
    }
  }
};

const FTable& Table() {
  static const FTable table;
  return table;
}

struct DSegment {
  double Positive, PositiveSlope, Negative, NegativeSlope;
};

constexpr double kDPositive[27] = {1.0106, 1.0255, 1.0682, 1.0949, 1.1228, 1.1524, 1.1803,
                                   1.2062, 1.2301, 1.2521, 1.2725, 1.2914, 1.3090, 1.3253,
                                   1.3405, 1.3517, 1.3680, 1.3805, 1.3923, 1.4035, 1.4141,
                                   1.4241, 1.4336, 1.4426, 1.4512, 1.4594, 1.4672};
constexpr double kDNegative[27] = {4.2927, 3.9745, 3.7318, 3.5748, 3.4486, 3.3176, 3.2642,
                                   3.1938, 3.1335, 3.0842, 3.0352, 2.9943, 2.9577, 2.9247,
                                   2.8918, 2.8675, 2.8425, 2.8195, 2.7982, 2.7781, 2.7590,
                                   2.7426, 2.7264, 2.7112, 2.6989, 2.6834, 2.6707};
constexpr DSegment kDSegments[6] = {
    {1.4672, 0.00684, 2.6707, -0.01088}, {1.5014, 0.0058, 2.6163, -0.00882},
    {1.5304, 0.00496, 2.5722, -0.0073},  {1.5552, 0.004, 2.5357, -0.00592},
    {1.5752, 0.00342, 2.5061, -0.00484}, {1.5923, 0.00318, 2.4819, -0.00446}};

long double DCrit(std::uint16_t n, bool positive) {
  if (n < 4) return -1;
  if (n <= 30) return positive ? kDPositive[n - 4] : kDNegative[n - 4];
  const int m = n > 60 ? 60 : n;
  const int segment = (m - 31) / 5;
  const int anchor = 30 + 5 * segment;
  const DSegment& s = kDSegments[segment];
  return positive ? s.Positive + (m - anchor) * static_cast<long double>(s.PositiveSlope)
                  : s.Negative + (m - anchor) * static_cast<long double>(s.NegativeSlope);
}

}  // namespace

double IncompleteBeta(double a, double b, double x) {
  if (x <= 0) return 0;
  if (x >= 1) return 1;
  const double front = std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) +
                                a * std::log(x) + b * std::log1p(-x));
  if (x < (a + 1) / (a + b + 2)) return front * BetaFraction(a, b, x) / a;
  return 1 - front * BetaFraction(b, a, 1 - x) / b;
}

double FQuantile(double nu1, double nu2, double p) {
  // P(F <= f) = I_x(nu1/2, nu2/2) with x = nu1 f / (nu1 f + nu2): bisect on x, which the
  // probability follows monotonically.
  double lo = 0, hi = 1;
  for (int i = 0; i < 200 && hi - lo > 1e-17; ++i) {
    const double mid = (lo + hi) / 2;
    if (IncompleteBeta(nu1 / 2, nu2 / 2, mid) < p)
      lo = mid;
    else
      hi = mid;
  }
  const double x = (lo + hi) / 2;
  return nu2 * x / (nu1 * (1 - x));
}

long double StudentT95(std::uint16_t nu) {
  if (nu >= 1 && nu <= 30) {
    // t with nu degrees of freedom squared is F(1, nu); three decimals, as printed.
    static const std::array<double, 31> table = [] {
      std::array<double, 31> t{};
      for (int v = 1; v <= 30; ++v)
        t[v] = std::round(std::sqrt(FQuantile(1, v, 0.95)) * 1000) / 1000;
      return t;
    }();
    return table[nu];
  }
  if (nu >= 31 && nu <= 40) return 2.021L;
  if (nu >= 41 && nu <= 60) return 2.000L;
  if (nu >= 61 && nu <= 120) return 1.980L;
  return 1.960L;
}

long double FisherF95(std::uint16_t nu1, std::uint16_t nu2) {
  if (nu1 == 0 || nu1 > 255) return 0;
  const int column = ColumnOf(nu1);
  if (nu2 < 1 || nu2 > RowsOf(column)) return kColumnDefault[column];
  return Table().Entry[column][nu2];
}

long double DCritPositive(std::uint16_t n) { return DCrit(n, true); }
long double DCritNegative(std::uint16_t n) { return DCrit(n, false); }

}  // namespace zelk
