#include "workspace/flow_texts.h"

#include <cmath>

#include "base/format.h"
#include "base/messages.h"

namespace zelk {

bool FlowTexts::Follow(FitChange what, const EstimationSession& session) {
  switch (what) {
    case FitChange::Best:
      Objective = FormatGeneral(session.BestObjective, 15);
      Total = std::to_string(session.TotalCalls);
      Successful = std::to_string(session.SuccessfulCalls);
      return true;
    case FitChange::FLimitSide:
      Parameter = std::to_string(session.LimitParam);
      Limit = session.LimitLower ? msg::kLowerLimit : msg::kUpperLimit;
      Descent.clear();
      return true;
    case FitChange::LimitObjective:
      LimitObjective = FormatGeneral(session.LimitObjective, 12);
      return true;
    case FitChange::ProfileMinimum:
      Minimum = FormatGeneral(session.ProfileMinObjective, 12);
      return true;
    case FitChange::Descent:
      Descent = std::isnan(session.Descent) ? "" : FormatGeneral(session.Descent, 8);
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
