#include "estimation/likelihood.h"

#include <cmath>

#include "model/jacobian.h"

namespace zelk {

namespace {

constexpr double kLn10 = 2.302585092994045684;
constexpr double kSmallestLaplaceResidual = 1e-8;  // |r| below it: the slope's denominator

double Transformed(NoiseTransform t, double v) {
  switch (t) {
    case NoiseTransform::Log: return v > 0 ? std::log(v) : NAN;
    case NoiseTransform::Log10: return v > 0 ? std::log10(v) : NAN;
    default: return v;
  }
}

// dT/dv.
double Slope(NoiseTransform t, double v) {
  switch (t) {
    case NoiseTransform::Log: return 1 / v;
    case NoiseTransform::Log10: return 1 / (v * kLn10);
    default: return 1;
  }
}

struct Term {
  double d, sigma;
};

Term TermOf(const LikelihoodCell& c, const TYData& y) {
  const double m = y.M[c.Value.Event][c.Value.Variable], h = y.C[c.Value.Event][c.Value.Variable];
  double sigma = 1;
  if (c.Sigma.Event > 0)
    sigma = c.SigmaMeasured ? y.M[c.Sigma.Event][c.Sigma.Variable] : y.C[c.Sigma.Event][c.Sigma.Variable];
  return {Transformed(c.Noise.Transform, h) - Transformed(c.Noise.Transform, m), sigma};
}

double SigmaResidual(double sigma) {
  const double a = 2 * std::log(sigma) + kSigmaOffset;
  return a > 0 ? std::sqrt(a) : 0;
}

}  // namespace

std::vector<LikelihoodCell> LikelihoodCells(const std::vector<NoiseModel>& noise, int difEqCount,
                                            const TXData& x, const TYData& y) {
  std::vector<NoiseModel> models = noise;
  if (models.empty())
    for (int d = 1; d <= y.DepCount; ++d) models.push_back({d, {}, {}, 0});
  std::vector<LikelihoodCell> cells;
  for (const NoiseModel& n : models) {
    if (n.Response < 1 || n.Response > y.DepCount || n.Sigma > y.DepCount) continue;
    for (int e = 1; e <= y.EventCount; ++e) {
      if (!y.Defined.at(e)[n.Response]) continue;
      if (difEqCount > 0 && (e == 1 || !SameExperiment(x, e - 1, e))) continue;
      LikelihoodCell c;
      c.Value = {e, n.Response};
      if (n.Sigma > 0) c.Sigma = {e, n.Sigma};
      c.SigmaMeasured = n.Sigma > 0 && y.Defined[e][n.Sigma];
      c.Noise = n;
      cells.push_back(c);
    }
  }
  return cells;
}

double NegativeLogLikelihood(const std::vector<LikelihoodCell>& cells, const TYData& y) {
  long double total = 0;
  for (const LikelihoodCell& c : cells) {
    const auto [d, sigma] = TermOf(c, y);
    if (!(sigma > 0) || !std::isfinite(d)) return HUGE_VAL;
    const double m = y.M[c.Value.Event][c.Value.Variable];
    if (c.Noise.Distribution == NoiseDistribution::Laplace)
      total += std::log(2 * sigma) + std::fabs(d) / sigma;
    else
      total += 0.5 * std::log(2 * M_PI * sigma * sigma) + 0.5 * (d / sigma) * (d / sigma);
    if (c.Noise.Transform == NoiseTransform::Log) total += std::log(m);
    if (c.Noise.Transform == NoiseTransform::Log10) total += std::log(m * kLn10);
  }
  return static_cast<double>(total);
}

int LikelihoodResidualCount(const std::vector<LikelihoodCell>& cells) {
  int n = static_cast<int>(cells.size());
  for (const LikelihoodCell& c : cells)
    if (c.Sigma.Event > 0 && !c.SigmaMeasured) ++n;
  return n;
}

bool LikelihoodResiduals(const std::vector<LikelihoodCell>& cells, const TYData& y,
                         std::vector<double>& out) {
  out.clear();
  bool finite = true;
  for (const LikelihoodCell& c : cells) {
    const auto [d, sigma] = TermOf(c, y);
    const double r = c.Noise.Distribution == NoiseDistribution::Laplace
                         ? std::copysign(std::sqrt(2 * std::fabs(d) / sigma), d)
                         : d / sigma;
    out.push_back(r);
    finite = finite && sigma > 0 && std::isfinite(r);
  }
  for (const LikelihoodCell& c : cells)
    if (c.Sigma.Event > 0 && !c.SigmaMeasured) out.push_back(SigmaResidual(TermOf(c, y).sigma));
  return finite;
}

std::vector<TResidualCell> LikelihoodJacobianCells(const std::vector<LikelihoodCell>& cells) {
  std::vector<TResidualCell> out;
  for (const LikelihoodCell& c : cells) out.push_back(c.Value);
  for (const LikelihoodCell& c : cells)
    if (c.Sigma.Event > 0 && !c.SigmaMeasured) out.push_back(c.Sigma);
  return out;
}

void LikelihoodJacobian(const std::vector<LikelihoodCell>& cells, const TYData& y,
                        const std::vector<double>& dc, int columns, std::vector<double>& out,
                        std::vector<double>& residuals) {
  LikelihoodResiduals(cells, y, residuals);
  const std::size_t n = cells.size(), width = static_cast<std::size_t>(columns);
  out.assign(residuals.size() * width, 0.0);
  std::size_t sigmaRow = n;  // the computed sigmas' rows of dc and out follow the values'
  for (std::size_t i = 0; i < n; ++i) {
    const LikelihoodCell& c = cells[i];
    const auto [d, sigma] = TermOf(c, y);
    const double h = y.C[c.Value.Event][c.Value.Variable];
    const double slope = Slope(c.Noise.Transform, h);
    const bool computedSigma = c.Sigma.Event > 0 && !c.SigmaMeasured;
    const double* dh = &dc[i * width];
    const double* ds = computedSigma ? &dc[sigmaRow * width] : nullptr;
    double* row = &out[i * width];
    if (c.Noise.Distribution == NoiseDistribution::Laplace) {
      const double a = std::max(std::fabs(residuals[i]), kSmallestLaplaceResidual);
      for (std::size_t j = 0; j < width; ++j)
        row[j] = (slope * dh[j] / sigma - (ds ? d / (sigma * sigma) * ds[j] : 0)) / a;
    } else {
      const double r = residuals[i];
      for (std::size_t j = 0; j < width; ++j)
        row[j] = slope * dh[j] / sigma - (ds ? r / sigma * ds[j] : 0);
    }
    if (ds) {
      const double rs = residuals[sigmaRow];
      double* srow = &out[sigmaRow * width];
      for (std::size_t j = 0; j < width; ++j) srow[j] = rs > 0 ? ds[j] / (sigma * rs) : 0;
      ++sigmaRow;
    }
  }
}

}  // namespace zelk
