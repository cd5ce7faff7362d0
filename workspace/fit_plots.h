#pragma once
// The pictures of a fit, as plots: the best objective against model calls while a search runs
// and after it, the profile minimum of the F-limit side, and each parameter's profile with
// its threshold and limits.

#include <cstdint>

#include "base/data_set.h"
#include "base/preferences.h"
#include "estimation/search_state.h"
#include "estimation/fit_result.h"
#include "estimation/parameter_record.h"
#include "model/model_names.h"
#include "presentation/xy_plot.h"

namespace zelk {

// The F-test threshold the plots draw: 0 (none) until one was formed for the current best.
inline double LimitThreshold(const SearchState& e) {
  return e.LimitReady ? e.LimitObjective : 0;
}

// The last search's best objective (log scale) against its model calls; while it runs
// (`running`), the line goes on to `solutionsNow` at the best so far.
XYPlot ProgressPlot(const FitResult& fit, std::int64_t solutionsNow, bool running,
                    double best);
// The last multi-start's "waterfall": its starts' final objectives sorted (rank against
// objective, markers), failed ones left out, with the line below which a start counts as
// having reached the best; the title says how many did.
XYPlot WaterfallPlot(const FitResult& fit);
// The last multi-start's best starts (those that reached the best, at most 10, best first)
// across their bounds: for each parameter, where its final value lies between its bounds,
// 0 to 1, on the parameter's scale; parameters fixed or without bounds left out.
XYPlot BestStartsPlot(const FitResult& fit, const TParameterRecord& table);
// The profile minimum of the F-limit side running or last run against its model calls.
XYPlot ProfileProgressPlot(const FitResult& fit, double threshold);
// Response r's residuals C - M against the first independent variable, one series per
// experiment, with the zero line; missing values left out. Titled by the response's name
// where the model gives one.
XYPlot ResidualPlot(const TDataSet& measured, int r, const ModelNames& names = {});
// Each response's measured values M against the model's C at the same events, one coloured
// series per response (its chart colour and name), with the diagonal M = C; only the title
// without `y`.
XYPlot ObservedPredictedPlot(const TYData* y, const TSeriesStyles& series,
                             const ModelNames& names = {});
// The residuals C - M against C, one series per response as above, with the zero line.
XYPlot ResidualPredictedPlot(const TYData* y, const TSeriesStyles& series,
                             const ModelNames& names = {});
// Parameter k's probes in ascending order of value, the threshold and the limits found; titled
// by the parameter's name where the model gives one.
XYPlot ProfilePlot(const FitResult& fit, const TParameterRecord& record, int k, double threshold,
                   const ModelNames& names = {});

}  // namespace zelk
