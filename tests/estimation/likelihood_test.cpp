#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "estimation/likelihood.h"

namespace zelk {
namespace {

// Two events of one experiment: event 1 starts it, event 2 holds the measurements. Responses:
// 1 normal lin with computed sigma 2, 3 log10 with measured sigma 4, 5 laplace log with
// computed sigma 6.
std::unique_ptr<TDataSet> Measured() {
  auto d = std::make_unique<TDataSet>();
  d->XData.IndepCount = 1;
  d->YData.DepCount = 6;
  d->YData.EventCount = 2;
  HoldCounts(*d);
  d->XData.X[1][1] = 0;
  d->XData.X[2][1] = 1;
  const double m[] = {0, 1.5, 0, 20.0, 0.1, 3.0, 0};
  const double c[] = {0, 1.2, 0.4, 30.0, 0.7, 2.0, 0.5};
  for (int k = 1; k <= 6; ++k) {
    d->YData.M[2][k] = m[k];
    d->YData.C[2][k] = c[k];
  }
  for (int k : {1, 3, 4, 5}) d->YData.Defined[2][k] = 1;
  return d;
}

const std::vector<NoiseModel> kNoise = {
    {1, NoiseDistribution::Normal, NoiseTransform::Lin, 2},
    {3, NoiseDistribution::Normal, NoiseTransform::Log10, 4},
    {5, NoiseDistribution::Laplace, NoiseTransform::Log, 6}};

TEST(Likelihood, IsTheSumOfEachNoiseModelsTermWithTheTransformationsJacobian) {
  auto d = Measured();
  const auto cells = LikelihoodCells(kNoise, 1, d->XData, d->YData);
  ASSERT_EQ(cells.size(), 3u);  // the experiment's first event is its start, not a residual
  const double pi2 = 2 * M_PI;
  const double normal = 0.5 * std::log(pi2 * 0.16) + 0.5 * std::pow((1.2 - 1.5) / 0.4, 2);
  const double d10 = std::log10(30.0) - std::log10(20.0);
  const double log10 = 0.5 * std::log(pi2 * 0.01) + 0.5 * std::pow(d10 / 0.1, 2) +
                       std::log(20.0 * std::log(10.0));
  const double laplace = std::log(2 * 0.5) + std::fabs(std::log(2.0) - std::log(3.0)) / 0.5 +
                         std::log(3.0);
  EXPECT_NEAR(NegativeLogLikelihood(cells, d->YData), normal + log10 + laplace, 1e-12);
  d->YData.C[2][2] = 0;  // a sigma of 0 has no likelihood
  EXPECT_EQ(NegativeLogLikelihood(cells, d->YData), HUGE_VAL);
}

TEST(Likelihood, ResidualJacobianMatchesDifferencesOfTheResiduals) {
  auto d = Measured();
  const auto cells = LikelihoodCells(kNoise, 1, d->XData, d->YData);
  const auto jacobianCells = LikelihoodJacobianCells(cells);
  // Two computed sigmas: three values and two sigma cells, five residuals.
  ASSERT_EQ(jacobianCells.size(), 5u);
  ASSERT_EQ(LikelihoodResidualCount(cells), 5);
  // Parameter j moves cell j alone: the Jacobian's column j is dr / dC of that cell.
  const int n = static_cast<int>(jacobianCells.size());
  std::vector<double> dc(static_cast<std::size_t>(n * n), 0.0), jacobian, residuals;
  for (int j = 0; j < n; ++j) dc[static_cast<std::size_t>(j * n + j)] = 1;
  LikelihoodJacobian(cells, d->YData, dc, n, jacobian, residuals);
  // Half the residuals' squares is the likelihood less a constant.
  double half = 0;
  for (double r : residuals) half += r * r / 2;
  // Half the residuals' squares: the likelihood less its constants (the normals' ln 2 pi,
  // laplace's ln 2, the measured sigma's ln, the transformations' terms) and the offsets.
  const double constants = std::log(2 * M_PI) + std::log(2.0) + std::log(0.1) +
                           std::log(20 * std::log(10.0)) + std::log(3.0);
  EXPECT_NEAR(half - kSigmaOffset + constants, NegativeLogLikelihood(cells, d->YData), 1e-9);
  for (int j = 0; j < n; ++j) {
    const TResidualCell cell = jacobianCells[static_cast<std::size_t>(j)];
    const double h = 1e-6, keep = d->YData.C[cell.Event][cell.Variable];
    std::vector<double> up, down;
    d->YData.C[cell.Event][cell.Variable] = keep + h;
    LikelihoodResiduals(cells, d->YData, up);
    d->YData.C[cell.Event][cell.Variable] = keep - h;
    LikelihoodResiduals(cells, d->YData, down);
    d->YData.C[cell.Event][cell.Variable] = keep;
    for (int r = 0; r < n; ++r)
      EXPECT_NEAR(jacobian[static_cast<std::size_t>(r * n + j)],
                  (up[static_cast<std::size_t>(r)] - down[static_cast<std::size_t>(r)]) / (2 * h), 1e-5)
          << "residual " << r << ", cell " << j;
  }
}

}  // namespace
}  // namespace zelk
