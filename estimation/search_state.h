#pragma once
// What the searches share with each other and with whoever shows them: the best objective,
// the counters, the F-test figures and what the fit made. One per fit problem and table.

#include <cstdint>

#include "estimation/fit_result.h"

namespace zelk {

struct SearchState {
  double BestObjective = 0;
  double TrialObjective = 0;
  double ProfileMinObjective = 0;
  double SearchBestObjective = 0;
  std::uint32_t TotalCalls = 1;
  std::uint32_t SuccessfulCalls = 1;
  bool ObjectiveReady = false;  // BestObjective belongs to the table's values
  bool LimitReady = false;      // LimitObjective belongs to BestObjective
  int FailedSolves = 0;         // trials whose solution failed
  int AbandonedSolves = 0;      // trials dropped early as worse than the best: not failures
  FitResult Result;             // what the searches, the statistics and the design made

  // --- F-test limits: for one parameter and side at a time, the profile search moves the
  // parameter outward while the others are re-fitted by random trials around LimitPoint.
  double LimitObjective = 0;  // the threshold, BestObjective (1 + F p / (N - p))
  double LimitF = 0;          // F(p, N - p) behind it
  double PrevProfileMin = 0;  // 0: no descent check yet at this probe
  int LimitParam = 1;
  bool LimitLower = true;
  double LimitStep = 0.1;
  bool LastTrialSolved = false;
  double Descent = 0;  // the profile minimum's last relative descent; NaN: none yet at this side
};

}  // namespace zelk
