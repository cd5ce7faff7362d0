#include "estimation/residual_test.h"

#include <algorithm>
#include <cmath>

#include "base/format.h"
#include "estimation/quantiles.h"

namespace zelk {

namespace {

std::uint16_t EventIndex(int n) { return static_cast<std::uint16_t>(std::clamp(n, 0, 65535)); }

}  // namespace

bool ComputeResidualTest(const TYData& y, TResidualTest& out) {
  const int n = y.EventCount;
  if (n < kResidualTestMinEvents) return false;
  TResidualTest test;
  test.DepCount = y.DepCount;
  test.EventCount = n;
  test.DStat.assign(y.DepCount + 1, 0.0);
  test.DDefined.assign(y.DepCount + 1, false);
  auto e = [&](int j, int r) { return y.C[j][r] - y.M[j][r]; };
  for (int r = 1; r <= y.DepCount; ++r) {
    double num = 0, den = 0;
    for (int j = 1; j < n; ++j) num += (e(j + 1, r) - e(j, r)) * (e(j + 1, r) - e(j, r));
    for (int j = 1; j <= n; ++j) {
      den += e(j, r) * e(j, r);
      test.MaxAbsResidual = std::max(test.MaxAbsResidual, std::fabs(e(j, r)));
    }
    num /= n - 1;
    den /= n;
    test.DDefined[r] = den > 0;
    test.DStat[r] = den > 0 ? num / den : 0;
  }
  out = test;
  return true;
}

const char* AutocorrelationVerdict(double d, std::uint16_t events) {
  if (static_cast<double>(DCritPositive(events)) > d) return "Positive";
  if (static_cast<double>(DCritNegative(events)) >= d) return "Insignificant";
  return "Negative";
}

std::vector<std::array<std::string, kResidualGridColumns>> ResidualGridTexts(
    const TResidualTest& test) {
  std::vector<std::array<std::string, kResidualGridColumns>> rows;
  rows.push_back({"Resp.", "D", "D-crit (-)", "D-crit (+)", "Autocorelation"});
  const std::uint16_t n = EventIndex(test.EventCount);
  for (int r = 1; r <= test.DepCount; ++r) {
    const bool defined = test.DDefined[r];
    rows.push_back({std::to_string(r) + ".", defined ? FormatSignificant(test.DStat[r], 5) : "-",
                    FormatSignificant(static_cast<double>(DCritNegative(n)), 5),
                    FormatSignificant(static_cast<double>(DCritPositive(n)), 5),
                    defined ? AutocorrelationVerdict(test.DStat[r], n) : "-"});
  }
  return rows;
}

}  // namespace zelk
