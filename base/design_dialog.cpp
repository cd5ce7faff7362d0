#include "base/design_dialog.h"

#include "base/format.h"
#include "base/messages.h"

namespace zelk {

std::pair<DesignDialogModel::Field, std::string> DesignDialogModel::Validate() const {
  if (!ParseNumber(MinText)) return {Field::Min, msg::kNumericRequired};
  if (!ParseNumber(MaxText)) return {Field::Max, msg::kNumericRequired};
  const auto nr = ParseInteger(NrText);
  if (!nr) return {Field::Nr, msg::kIntegerRequired};
  if (*nr < 1 || *nr > kMaxDesignPoints)
    return {Field::Nr, FillPlaceholders(msg::kIntegerBetween, {"1", "20"})};
  return {Field::None, {}};
}

void DesignDialogModel::Cancel() {
  MinText = "0";
  MaxText = "1";
  NrText = "1";
}

double DesignDialogModel::Min() const { return ParseNumber(MinText).value_or(0); }
double DesignDialogModel::Max() const { return ParseNumber(MaxText).value_or(1); }
int DesignDialogModel::Count() const { return static_cast<int>(ParseInteger(NrText).value_or(1)); }

}  // namespace zelk
