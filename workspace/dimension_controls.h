#pragma once
// The six dimension fields of the Dimension page: an edit field linked to an up-down
// control each. Setting a text from code runs the same validation as typing (the file
// readers rely on it); every accepted change is applied through the owner's callback.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "estimation/dimension_file.h"
#include "workspace/user_interface.h"

namespace zelk {

// The text may be anything the user typed; the position is always within its range.
struct DimensionControl {
  const char* Name;  // the edit field's name, e.g. "IndVarEd"
  DimensionRange Range;
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
