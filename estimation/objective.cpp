#include "estimation/objective.h"

#include <cmath>

namespace zelk {

double SumOfSquares(const TYData& y, TResponseSums& sums) {
  long double total = 0;
  sums.Hold(y.DepCount);
  for (int i = 1; i <= y.DepCount; ++i) {
    long double s = 0;
    for (int j = 1; j <= y.EventCount; ++j)
      if (y.Defined.at(j).at(i)) {
        const long double r = static_cast<long double>(y.M[j][i]) - y.C[j][i];
        s += r * r;
      }
    sums[i] = static_cast<double>(s);
    total += sums[i];
  }
  return static_cast<double>(total);
}

double WeightedSS(const TYData& y, TResponseSums& sums) {
  long double total = 0;
  sums.Hold(y.DepCount);
  for (int i = 1; i <= y.DepCount; ++i) {
    long double s = 0;
    for (int j = 1; j <= y.EventCount; ++j)
      if (y.Defined.at(j).at(i)) {
        const long double t = (static_cast<long double>(y.M[j][i]) - y.C[j][i]) /
                              WeightedScale(y.M[j][i], y.C[j][i]);
        s += t * t;
      }
    sums[i] = static_cast<double>(s);
    total += sums[i];
  }
  return static_cast<double>(total);
}

double BoxDraper(const TYData& y, TResponseSums&) {
  const int m = y.DepCount;
  TNormalMatrix s{};
  s.Hold(m, m);
  for (int k = 1; k <= m; ++k)
    for (int l = 1; l <= m; ++l) {
      long double sum = 0;
      for (int j = 1; j <= y.EventCount; ++j) {
        const double ek = y.Defined.at(j).at(k) ? y.M[j][k] - y.C[j][k] : 0.0;
        const double el = y.Defined[j][l] ? y.M[j][l] - y.C[j][l] : 0.0;
        sum += static_cast<long double>(ek) * el;
      }
      s[k][l] = static_cast<double>(sum);
    }
  return Determinant(s, m);
}

double Objective(TObjectiveKind kind, const TYData& y, TResponseSums& sums) {
  switch (kind) {
    case TObjectiveKind::BoxDraper:
      return BoxDraper(y, sums);
    case TObjectiveKind::WeightedSS:
      return WeightedSS(y, sums);
    default:
      return SumOfSquares(y, sums);
  }
}

double Determinant(const TNormalMatrix& matrix, int n) {
  if (n <= 0 || n > matrix.Columns() || n > matrix.Rows()) return 0;
  if (n == 1) return matrix[1][1];
  if (n == 2) return matrix[1][1] * matrix[2][2] - matrix[1][2] * matrix[2][1];
  TTable<long double, 0, 0> a;
  a.Hold(n, n);
  for (int r = 1; r <= n; ++r)
    for (int c = 1; c <= n; ++c) a[r][c] = matrix[r][c];
  long double d = 1;
  for (int k = 1; k <= n - 1; ++k) {
    for (int r = k; r <= n; ++r) {
      long double s = a[r][k];
      for (int c = k + 1; c <= n; ++c)
        if (std::fabs(a[r][c]) > std::fabs(s)) s = a[r][c];
      if (s == 0) return 0;
      for (int c = k; c <= n; ++c) a[r][c] /= s;
      d *= s;
    }
    int p = k;
    for (int r = k + 1; r <= n; ++r)
      if (std::fabs(a[r][k]) > std::fabs(a[p][k])) p = r;
    if (a[p][k] == 0) return 0;
    if (p != k) {
      d = -d;
      for (int c = k; c <= n; ++c) std::swap(a[k][c], a[p][c]);
    }
    for (int r = k + 1; r <= n; ++r) {
      const long double f = a[r][k] / a[k][k];
      for (int c = k + 1; c <= n; ++c) a[r][c] -= f * a[k][c];
    }
    d *= a[k][k];
  }
  return static_cast<double>(d * a[n][n]);
}

}  // namespace zelk
