#pragma once
// What the fit made, kept by the estimation session and read alike by the window, the report
// and zelkcli: the last search (which one, why it ended, its counts, the objective before and
// after), the statistics, the F-limit searches' sides and the experiment design.

#include <cstdint>
#include <string>
#include <vector>

#include "estimation/operation.h"
#include "estimation/search_run.h"
#include "estimation/statistics.h"

namespace zelk {

struct FitResult {
  TOperation Search = kIdle;  // the last search of the Optimize menu; kIdle: none ran
  SearchSummary Fit;          // its end, counts, best objective and values
  std::string Message;        // the line it ended with in the message pane, if any
  double InitialObjective = 0;  // the best objective when it started; 0: not yet known
  std::uint32_t TotalCalls = 0, SuccessfulCalls = 0;  // the Flow page's counters at its end

  TStatistics Statistics;  // of the last standard errors computed

  std::vector<SearchSummary> LimitSides;  // the last F-limit command, lower side first

  SearchSummary Design;               // the last experiment design
  std::vector<double> DesignPoints;   // its best candidates, ascending; empty before any
  double DesignDeterminant = 0;
};

// "Optimize", "Optimize GN", ... as the menus call the searches; "" for anything else.
const char* SearchName(TOperation search);

}  // namespace zelk
