#include "workspace/dimension_controls.h"

#include <algorithm>
#include <utility>

#include "base/format.h"
#include "base/messages.h"

namespace zelk {

DimensionControls::DimensionControls(UserInterface& ui, std::function<void()> apply)
    : ui_(ui),
      apply_(std::move(apply)),
      controls_{{
          {"IndVarEd", RangeOf(Dimension::Indep), "1", 1},
          {"DepVarEd", RangeOf(Dimension::Dep), "1", 1},
          {"EventsEd", RangeOf(Dimension::Events), "1", 1},
          {"DifEqEd", RangeOf(Dimension::DifEq), "0", 0},
          {"AlgEqEd", RangeOf(Dimension::AlgEq), "0", 0},
          {"ParEd", RangeOf(Dimension::Param), "1", 1},
      }} {}

void DimensionControls::SetText(Dimension d, const std::string& text) {
  DimensionControl& control = Ref(d);
  if (text == control.Text) return;
  control.Text = text;
  ui_.Repaint(View::Dimensions);
  if (text.empty()) {
    apply_();
    return;
  }
  const auto value = ParseInteger(text);
  if (!value) {
    ui_.ShowMessage(MessageKind::Error, msg::kIntegerRequired, Buttons::Ok);
    return;
  }
  int corrected = *value;
  if (corrected > control.Range.Max || corrected < control.Range.Min) {
    corrected = std::clamp(corrected, control.Range.Min, control.Range.Max);
    control.Text = std::to_string(corrected);
    ui_.Repaint(View::Dimensions);
    ui_.ShowMessage(MessageKind::Error,
                    FillPlaceholders(msg::kIntegerBetween,
                                     {std::to_string(control.Range.Min), std::to_string(control.Range.Max)}),
                    Buttons::Ok);
  }
  control.Position = corrected;
  apply_();
}

void DimensionControls::Click(Dimension d, int delta) {
  const DimensionControl& control = Control(d);
  const int position = std::clamp(control.Position + delta, control.Range.Min, control.Range.Max);
  if (position == control.Position && control.Text == std::to_string(position)) return;
  Ref(d).Position = position;
  SetText(d, std::to_string(position));
}

void DimensionControls::Reset(Dimension d, int value) {
  Ref(d).Position = value;
  SetText(d, std::to_string(value));
}

}  // namespace zelk
