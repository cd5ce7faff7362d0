#pragma once
// The "Likelihood" objective: the negative log-likelihood of the measured values of the
// responses the model's likelihood lines name, each with its distribution (normal, laplace),
// transformation (lin, log, log10) and sigma (a response: measured where given, else
// computed). Per value, with d = T(computed) - T(measured):
//   normal   0.5 ln(2 pi sigma^2) + 0.5 (d / sigma)^2
//   laplace  ln(2 sigma) + |d| / sigma
// plus ln(measured) for log and ln(measured ln 10) for log10. A model without likelihood
// lines has every response normal, lin, sigma 1.
//
// Levenberg-Marquardt minimises 1/2 the sum of squares of residuals, so the value's residual
// is d / sigma (laplace: sign(d) sqrt(2 |d| / sigma)) and a computed sigma adds
// sqrt(2 ln sigma + kSigmaOffset): both halves of squares add up to the likelihood less a
// constant.

#include <vector>

#include "base/data_set.h"
#include "model/model_library.h"
#include "model/model_names.h"

namespace zelk {

inline constexpr double kSigmaOffset = 50;  // keeps 2 ln sigma + offset positive to sigma 1e-11

struct LikelihoodCell {
  TResidualCell Value;
  TResidualCell Sigma;          // Event 0: sigma is 1
  bool SigmaMeasured = false;   // the sigma is data, not a function of the parameters
  NoiseModel Noise;
};

// The measured values the likelihood counts, noise model by noise model, event by event;
// without the first event of an experiment when there are differential equations.
std::vector<LikelihoodCell> LikelihoodCells(const std::vector<NoiseModel>& noise, int difEqCount,
                                            const TXData& x, const TYData& y);

// The negative log-likelihood of the computed values; +inf where a sigma is not positive or
// a logarithm's argument is not.
double NegativeLogLikelihood(const std::vector<LikelihoodCell>& cells, const TYData& y);

// Levenberg-Marquardt's residuals: one a cell, then one a cell with a computed sigma. False
// where one is no number.
bool LikelihoodResiduals(const std::vector<LikelihoodCell>& cells, const TYData& y,
                         std::vector<double>& out);
int LikelihoodResidualCount(const std::vector<LikelihoodCell>& cells);

// The cells whose computed values the residuals depend on: each value, then each computed
// sigma, in the residuals' order; the Jacobian differentiates these.
std::vector<TResidualCell> LikelihoodJacobianCells(const std::vector<LikelihoodCell>& cells);

// The residuals' Jacobian from dC/dp of LikelihoodJacobianCells (`dc`, one row of `columns`
// values a cell), row-major into `out` with the residuals in `residuals`.
void LikelihoodJacobian(const std::vector<LikelihoodCell>& cells, const TYData& y,
                        const std::vector<double>& dc, int columns, std::vector<double>& out,
                        std::vector<double>& residuals);

}  // namespace zelk
