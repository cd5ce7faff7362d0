#include "estimation/statistics.h"

#include <cmath>

#include "base/format.h"
#include "base/messages.h"
#include "estimation/objective.h"
#include "estimation/quantiles.h"

namespace zelk {

std::string ComputeStatistics(const TNormalMatrix& inverse, int count, double objective,
                              int observations, TStatistics& out, bool likelihood) {
  out = {};
  out.Observations = observations;
  out.Dof = observations - 1 - count;
  if (out.Dof <= 0)
    return FillPlaceholders(
        msg::kTooFewObservations,
        {std::to_string(observations), std::to_string(count), std::to_string(out.Dof)});
  for (int i = 1; i <= count; ++i)
    if (!(inverse[i][i] > 0) || !std::isfinite(inverse[i][i]))
      return FillPlaceholders(msg::kVarianceNotPositive, {std::to_string(i)});
  out.Variance = likelihood ? 1 : objective / out.Dof;
  out.StdError.Hold(count);
  out.Correlation.Hold(count, count);
  out.TValue = likelihood ? 1.959963984540054
                          : static_cast<double>(StudentT95(
                                static_cast<std::uint16_t>(out.Dof > 65535 ? 65535 : out.Dof)));
  for (int i = 1; i <= count; ++i) {
    out.StdError[i] = std::sqrt(out.Variance * inverse[i][i]) * out.TValue;
    for (int k = 1; k <= count; ++k)
      out.Correlation[i][k] = inverse[i][k] / std::sqrt(inverse[i][i] * inverse[k][k]);
  }
  out.CorrelationDeterminant = Determinant(out.Correlation, count);
  return {};
}

}  // namespace zelk
