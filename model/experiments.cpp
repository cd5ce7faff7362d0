#include "model/experiments.h"

namespace zelk {

bool SameExperiment(const TXData& x, int previous, int i) {
  const TRow<const double> a = x.X.at(previous);
  const TRow<const double> b = x.X.at(i);
  if (a[1] > b[1]) return false;
  for (int k = 2; k <= x.IndepCount && k < a.size(); ++k)
    if (a[k] != b[k]) return false;
  return true;
}

int CountExperiments(const TXData& x, int n) {
  int count = 1;
  for (int i = 2; i <= n; ++i)
    if (!SameExperiment(x, i - 1, i)) ++count;
  return count;
}

int NextExperimentStart(const TXData& x, int i, int n) {
  for (int k = i + 1; k <= n; ++k)
    if (!SameExperiment(x, k - 1, k)) return k;
  return -1;
}

}  // namespace zelk
