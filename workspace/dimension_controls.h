#pragma once
// The six dimension fields of the Dimension page: an edit field linked to an up-down
// control each. Setting a text from code runs the same validation as typing (the file
// readers rely on it); every accepted change is applied through the owner's callback.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "workspace/user_interface.h"

namespace zelk {

enum class Dimension { Indep, Dep, Events, DifEq, AlgEq, Param };
inline constexpr int kDimensionCount = 6;

// The model's dimension file (.dim): five little-endian 32-bit counts in this order.
inline constexpr std::size_t kDimensionFileSize = 20;
inline constexpr std::array<Dimension, 5> kDimensionFileOrder = {
    Dimension::AlgEq, Dimension::DifEq, Dimension::Param, Dimension::Indep, Dimension::Dep};
// The counts `bytes` holds whole, in that order: five, or fewer for a short file. Bytes
// beyond the fifth count are ignored.
std::vector<std::int32_t> DecodeDimensionFile(const std::vector<std::uint8_t>& bytes);

// The text may be anything the user typed; the position is always within [Min, Max].
struct DimensionControl {
  const char* Name;  // the edit field's name, e.g. "IndVarEd"
  int Min;
  int Max;
  std::string Text;
  int Position;
};

class DimensionControls {
 public:
  DimensionControls(UserInterface& ui, std::function<void()> apply);

  const DimensionControl& Control(Dimension d) const { return controls_[static_cast<int>(d)]; }
  int Position(Dimension d) const { return Control(d).Position; }
  // A change of the edit field's text, typed or set by code: validates, then applies. A
  // text that is no integer shows a message and applies nothing; one out of range is
  // clamped, with a message.
  void SetText(Dimension d, const std::string& text);
  // The up-down control was clicked (delta +1 or -1).
  void Click(Dimension d, int delta);
  // The program puts a value into both the up-down control and the field.
  void Reset(Dimension d, int value);

 private:
  DimensionControl& Ref(Dimension d) { return controls_[static_cast<int>(d)]; }

  UserInterface& ui_;
  std::function<void()> apply_;
  std::array<DimensionControl, kDimensionCount> controls_;
};

}  // namespace zelk
