#include "workspace/dimension_controls.h"

#include <algorithm>
#include <utility>

#include "base/data_file.h"
#include "base/data_set.h"
#include "base/format.h"
#include "base/messages.h"
#include "estimation/parameter_record.h"

namespace zelk {

std::vector<std::int32_t> DecodeDimensionFile(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::int32_t> counts;
  for (std::size_t at = 0; at + 4 <= bytes.size() && counts.size() < kDimensionFileOrder.size();
       at += 4)
    counts.push_back(ReadInt32(&bytes[at]));
  return counts;
}

DimensionControls::DimensionControls(UserInterface& ui, std::function<void()> apply)
    : ui_(ui),
      apply_(std::move(apply)),
      controls_{{
          {"IndVarEd", 1, kMaxIndep, "1", 1},
          {"DepVarEd", 1, kMaxDep, "1", 1},
          {"EventsEd", 1, kMaxEvents, "1", 1},
          {"DifEqEd", 0, kMaxDep, "0", 0},
          {"AlgEqEd", 0, kMaxDep, "0", 0},
          {"ParEd", 1, kMaxParams, "1", 1},
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
  if (corrected > control.Max || corrected < control.Min) {
    corrected = std::clamp(corrected, control.Min, control.Max);
    control.Text = std::to_string(corrected);
    ui_.Repaint(View::Dimensions);
    ui_.ShowMessage(MessageKind::Error,
                    FillPlaceholders(msg::kIntegerBetween,
                                     {std::to_string(control.Min), std::to_string(control.Max)}),
                    Buttons::Ok);
  }
  control.Position = corrected;
  apply_();
}

void DimensionControls::Click(Dimension d, int delta) {
  const DimensionControl& control = Control(d);
  const int position = std::clamp(control.Position + delta, control.Min, control.Max);
  if (position == control.Position && control.Text == std::to_string(position)) return;
  Ref(d).Position = position;
  SetText(d, std::to_string(position));
}

void DimensionControls::Reset(Dimension d, int value) {
  Ref(d).Position = value;
  SetText(d, std::to_string(value));
}

}  // namespace zelk
