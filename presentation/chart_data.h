#pragma once
// The chart's working data set: MeasuredData with every interval between two events of one
// experiment cut into K = 1000 div EventCount pieces, so a model curve can be drawn smoothly.

#include "base/data_set.h"

namespace zelk {

struct DataCounts {
  int ExperimentCount = 0;  // 0 for a model without differential equations
  int MissingCount = 0;
};

// Computes the range pairs of `measured`, rebuilds `chart` from it and returns the counts
// the statistics read.
DataCounts RefreshChartData(TDataSet& measured, TDataSet& chart, int difEqCount);

// Rows of `measured` with K - 1 interpolated rows between consecutive events of one
// experiment; inserted rows have every independent value defined and no measured value.
void BuildRefinedCopy(const TDataSet& measured, TDataSet& chart);

}  // namespace zelk
