#pragma once
// Experiments: maximal runs of consecutive events whose time (X[.][1]) never decreases and
// whose other independent variables stay exactly equal. Event 1 always starts one.

#include "base/data_set.h"

namespace zelk {

// Events i-1 and i (i >= 2) belong to the same experiment.
bool SameExperiment(const TXData& x, int previous, int i);
// Number of experiments among events 1..n; 1 when n < 2.
int CountExperiments(const TXData& x, int n);
// First event after i that starts an experiment, or -1 if none up to n.
int NextExperimentStart(const TXData& x, int i, int n);

}  // namespace zelk
