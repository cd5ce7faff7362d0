#pragma once
// The fit chart properties dialog's fields and rules: the three texts of the chart (shown
// or not, caption, font) and the manual axis ranges. The dialog is made once and reused, so
// fields that are not reloaded (the scale choices and their Min and Max) keep what the user
// left in them.

#include <array>
#include <string>

#include "base/preferences.h"

namespace zelk {

class Workspace;

struct ScaleFields {
  bool Manual = false;  // "Automatic" when false; Min and Max are enabled only when Manual
  std::string Min = "0";
  std::string Max = "100";
};

class FitPropertiesModel {
 public:
  explicit FitPropertiesModel(Workspace& ws);

  // Indexed by DescriptionIndex: the check box is Active, the edit's text the Caption and
  // its font the remaining fields.
  std::array<TDescription, kDescriptionCount> Texts;
  ScaleFields XScale, YScale;
  // The fonts of the "Scale Labels" samples of the two axis pages (their font fields only);
  // nothing stores them.
  TDescription XLabelsFont, YLabelsFont;

  // Descriptions into the check boxes, edits and edit fonts.
  void LoadFitProps();
  // The fields back into the descriptions, then the manual ranges into the workspace, where
  // they hold until an axis is set back to automatic; a Min or Max that is no number keeps
  // the manual bound it had.
  void StoreFitProps();

 private:
  Workspace& ws_;
};

}  // namespace zelk
