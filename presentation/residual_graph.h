#pragma once
// ACGraph: one strip of 150 units per response with a centre line and one bar per event, the
// residual C - M scaled so the largest of all reaches 70 units; a positive residual (model
// above the measurement) stands above the line. Each strip is named after its response, and
// the residual the bars reach above and below is written at its right end.

#include "base/data_set.h"
#include "base/preferences.h"
#include "model/model_names.h"
#include "presentation/canvas.h"

namespace zelk {

inline constexpr int kResidualStripHeight = 150;
inline constexpr int kResidualBarReach = 70;
inline constexpr int kResidualMargin = 15;

// The graph's height for `depCount` responses.
inline int ResidualGraphHeight(int depCount) { return kResidualStripHeight * depCount; }

// Draws the bars of `y` on a canvas `width` units wide; with `maxAbsResidual` 0 (an exact fit)
// every bar is flat.
void DrawResidualBars(Canvas& canvas, int width, const TYData& y, double maxAbsResidual,
                      const TSeriesStyles& series, const ModelNames& names);

}  // namespace zelk
