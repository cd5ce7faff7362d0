#pragma once
// What the fit made, kept by the estimation session and read alike by the window, the report
// and zelkcli: the last search (which one, why it ended, its counts, the objective before and
// after), the statistics, the F-limit searches' sides and the experiment design.

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "estimation/operation.h"
#include "estimation/search_run.h"
#include "estimation/statistics.h"

namespace zelk {

// Where an F-limit side stands in the last F-limit command: Shown as it was (imported, or
// from before), Pending (its search is still to come: its value is another side's by-product),
// Unfinished (ended by Stop or by the call limit: where the search stood), Finished.
enum class LimitSideState : std::uint8_t { Shown, Pending, Unfinished, Finished };

// One start's local fit of a multi-start run.
struct StartResult {
  int Start = 0;  // 1-based
  std::vector<double> StartValues, Values;  // parameters 1..Count
  double Objective = 0;  // +inf when the fit gave no number
  std::string Stop;      // the search's end, or "crashed", "time limit"
  std::int64_t Solutions = 0;
  double Seconds = 0;
  bool Failed() const;
};

struct FitResult {
  TOperation Search = kIdle;  // the last search of the Optimize menu; kIdle: none ran
  SearchSummary Fit;          // its end, counts, best objective and values
  std::string Message;        // the line it ended with in the message pane, if any
  double InitialObjective = 0;  // the best objective when it started; 0: not yet known
  std::uint32_t TotalCalls = 0, SuccessfulCalls = 0;  // the Flow page's counters at its end

  TStatistics Statistics;  // of the last standard errors computed

  std::vector<StartResult> Starts;  // of the last multi-start, best first

  std::vector<SearchSummary> LimitSides;  // the last F-limit command, lower side first
  // [1..Count] of each side; sides beyond are Shown.
  std::vector<LimitSideState> LowerSides, UpperSides;
  LimitSideState Side(int k, bool lower) const {
    const auto& sides = lower ? LowerSides : UpperSides;
    return k >= 1 && k < static_cast<int>(sides.size()) ? sides[k] : LimitSideState::Shown;
  }
  int UnfinishedSides() const {
    return static_cast<int>(std::count(LowerSides.begin(), LowerSides.end(), LimitSideState::Unfinished) +
                            std::count(UpperSides.begin(), UpperSides.end(), LimitSideState::Unfinished));
  }

  // (model calls since the start, best objective) at every new best of the last search;
  // ProgressBase is the solution count it started from, for a point at the present.
  using Curve = std::vector<std::pair<double, double>>;
  Curve Progress;
  std::int64_t ProgressBase = 0;
  // (model calls since the side started, profile minimum) of the last F-limit side.
  Curve ProfileProgress;
  std::int64_t ProfileBase = 0;
  // [1..Count]: the F-limit probes solved, (value, objective re-minimised over the others),
  // the centre included; in the order they were found.
  std::vector<Curve> Profiles;
  // Parameter k's probes in ascending order of value; none for a parameter without any.
  Curve Profile(int k) const {
    Curve probes = k >= 1 && k < static_cast<int>(Profiles.size()) ? Profiles[k] : Curve{};
    std::sort(probes.begin(), probes.end());
    return probes;
  }

  SearchSummary Design;               // the last experiment design
  std::vector<double> DesignPoints;   // its best candidates, ascending; empty before any
  double DesignDeterminant = 0;
};

}  // namespace zelk
