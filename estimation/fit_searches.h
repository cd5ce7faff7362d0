#pragma once
// The searches, each a function over a search's ground: the four of the Optimize menu that
// step by random or region trials or by Gauss-Newton, Levenberg-Marquardt, the profile search
// of the F-test limits and the D-optimal design.

#include "estimation/search.h"

namespace zelk {

// Random directions around Value, shorter as fewer trials succeed.
SearchSummary RandomSearch(Search& s, const SearchOptions& options);
// Random trials in shrinking regions around Value; WL weighs the shrinking by the moves of
// its successful trials.
SearchSummary RegionSearchLJ(Search& s, const SearchOptions& options);
SearchSummary RegionSearchWL(Search& s, const SearchOptions& options);
// Gauss-Newton ends by itself after a step that lowered nothing (the next would repeat it),
// unless options.Stall asks for more, and says so in the message pane.
SearchSummary GaussNewtonSearch(Search& s, const SearchOptions& options);
// Levenberg-Marquardt within the bounds, fixed parameters held; options.Calls caps its
// iterations. Ends by its own convergence tests and says why in the message pane.
SearchSummary LMSearch(Search& s, const SearchOptions& options);

// One side of parameter k's F-test limit; the summary says how it ended.
SearchSummary FLimitSide(Search& s, int k, bool lower, const SearchOptions& options = {});
// Every parameter's limits, lower side first. Each side ends by its own rules, by Stop, or
// after options.Calls steps. True when every search ran without an error; Result.LimitSides
// says how each ended.
bool AllFLimits(Search& s, const SearchOptions& options = {});
// "Process Successfully Completed", or how many sides were cut short.
void TellLimitsDone(Search& s);

// Random candidate sets in [min, max], sorted, the one with the largest determinant kept.
// Ends by its own rule, by Stop or after options.Calls sets.
SearchSummary DesignSearch(Search& s, int count, double min, double max,
                           const SearchOptions& options = {});

}  // namespace zelk
