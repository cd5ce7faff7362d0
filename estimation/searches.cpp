#include "estimation/searches.h"

#include <cmath>

#include "estimation/random.h"

namespace zelk {

namespace {

void Clamp(TParameterRecord& r, int i) {
  if (r.TrialValue[i] < r.MinBound[i]) r.TrialValue[i] = r.MinBound[i];
  if (r.TrialValue[i] > r.MaxBound[i]) r.TrialValue[i] = r.MaxBound[i];
}

// A random unit direction d over parameters 1..n and a step length s = r^ln(T/S).
double RandomDirection(int n, std::uint32_t totalCalls, std::uint32_t successfulCalls,
                       T20Vector& d) {
  d.Hold(n);
  double norm = 0;
  for (int i = 1; i <= n; ++i) {
    d[i] = 1 - 2 * NextRandom();
    norm += d[i] * d[i];
  }
  norm = std::sqrt(norm);
  for (int i = 1; i <= n; ++i) d[i] = norm > 0 ? d[i] / norm : 0;
  const double r = NextRandom();
  const double ratio =
      successfulCalls > 0 ? static_cast<double>(totalCalls) / successfulCalls : 1.0;
  // r = 0 would make ln(r) infinite; its limit is a step of 0 (or 1 when T = S).
  return r > 0 ? std::exp(std::log(r) * std::log(ratio)) : (ratio == 1 ? 1.0 : 0.0);
}

}  // namespace

void RandomDirectionTrial(TParameterRecord& record, std::uint32_t totalCalls,
                          std::uint32_t successfulCalls) {
  T20Vector d{};
  const double s = RandomDirection(record.Count, totalCalls, successfulCalls, d);
  for (int i = 1; i <= record.Count; ++i) {
    if (record.Fixed[i]) continue;
    record.TrialValue[i] = record.Value[i] * (1 + s * d[i] / 2);
    Clamp(record, i);
  }
}

void ProfileTrial(TParameterRecord& record, int k, std::uint32_t totalCalls,
                  std::uint32_t successfulCalls) {
  T20Vector d{};
  const double s = RandomDirection(record.Count, totalCalls, successfulCalls, d);
  for (int i = 1; i <= record.Count; ++i)
    if (i != k) record.TrialValue[i] = record.LimitPoint[i] * (1 + s * d[i] / 2);
}

void RegionTrial(TParameterRecord& record) {
  const int n = record.Count;
  T20Vector u{};
  u.Hold(n);
  for (int i = 1; i <= n; ++i) u[i] = 1 - 2 * NextRandom();
  for (int i = 1; i <= n; ++i) {
    if (record.Fixed[i]) continue;
    record.TrialValue[i] = record.Value[i] * (1 + record.Region[i] * u[i]);
    Clamp(record, i);
  }
}

void ShrinkRegions(TParameterRecord& record) {
  for (int i = 1; i <= record.Count; ++i) record.Region[i] *= kRegionShrink;
}

void AddRegionWeights(TParameterRecord& record) {
  for (int i = 1; i <= record.Count; ++i)
    if (record.Value[i] != 0)
      record.RegionWeight[i] +=
          std::fabs(record.TrialValue[i] - record.Value[i]) / std::fabs(record.Value[i]);
}

void ShrinkRegionsByWeight(TParameterRecord& record) {
  const int n = record.Count;
  double total = 0;
  for (int i = 1; i <= n; ++i) total += record.RegionWeight[i];
  if (!(total > 0)) {
    ShrinkRegions(record);
    return;
  }
  for (int i = 1; i <= n; ++i) {
    record.Region[i] *= 1.02 - (record.RegionWeight[i] / total) * n * 0.05;
    record.RegionWeight[i] /= 5;
  }
}

}  // namespace zelk
