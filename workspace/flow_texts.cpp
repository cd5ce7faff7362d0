#include "workspace/flow_texts.h"

#include <cmath>

#include "base/format.h"
#include "base/messages.h"

namespace zelk {

bool FlowTexts::Follow(FitChange what, const SearchState& state) {
  switch (what) {
    case FitChange::Best:
      Objective = FormatGeneral(state.BestObjective, 15);
      Total = std::to_string(state.TotalCalls);
      Successful = std::to_string(state.SuccessfulCalls);
      return true;
    case FitChange::FLimitSide:
      Parameter = std::to_string(state.LimitParam);
      Limit = state.LimitLower ? msg::kLowerLimit : msg::kUpperLimit;
      Descent.clear();
      return true;
    case FitChange::LimitObjective:
      LimitObjective = FormatGeneral(state.LimitObjective, 12);
      return true;
    case FitChange::ProfileMinimum:
      Minimum = FormatGeneral(state.ProfileMinObjective, 12);
      return true;
    case FitChange::Descent:
      Descent = std::isnan(state.Descent) ? "" : FormatGeneral(state.Descent, 8);
      return true;
    default:
      return false;
  }
}

void FlowTexts::ForgetBest() {
  Objective.clear();
  Total.clear();
  Successful.clear();
}

}  // namespace zelk
