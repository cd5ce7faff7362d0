#pragma once
// Standard errors and normalized covariances of the estimates from the inverse normal
// matrix V = (J'J)^-1: s^2 = objective / nu, nu = N - 1 - Count, and for each parameter the
// 95 % half-width t * sqrt(s^2 V[i][i]); the correlation matrix V[i][k] / sqrt(V[i][i] V[k][k]).

#include <string>

#include "base/data_set.h"
#include "model/model_library.h"

namespace zelk {

struct TStatistics {
  int Observations = 0;  // N, the residuals the Jacobian enumerated
  int Dof = 0;           // nu
  double TValue = 0;
  double Variance = 0;  // s^2
  T20Vector StdError{};
  TNormalMatrix Correlation{};
  double CorrelationDeterminant = 0;
};

// Fills `out` for parameters 1..count; returns "" or, when nothing can be computed (too few
// observations, a variance that is not positive), the message to show. `out` then holds
// no standard errors.
// With `likelihood` the objective is a negative log-likelihood whose residuals are already
// scaled by their sigmas: s^2 = 1 and t is the normal quantile (the Fisher information).
std::string ComputeStatistics(const TNormalMatrix& inverse, int count, double objective,
                              int observations, TStatistics& out, bool likelihood = false);

}  // namespace zelk
