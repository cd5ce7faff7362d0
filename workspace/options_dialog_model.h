#pragma once
// The preferences dialog as a model: what its controls hold and the rules between them. The
// Qt dialog shows these fields, writes back what the user changes and calls the button
// handlers; it decides nothing itself.
//
// The dialog is created once at start and reused, so what is not refilled on opening keeps
// its state: the Series page still shows the series and the control values it had when the
// dialog last closed. The series styles are edited in place: leaving a series stores its
// controls into the owner's styles at once, and Cancel does not take that back. The general
// fields are a copy that only OK writes back.

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "base/preferences.h"
#include "workspace/user_interface.h"

namespace zelk {

enum class OptionsPage { Compiler, Series, Report, Warnings, Toggles, Integrator };
inline constexpr std::array<const char*, 6> kOptionsPageCaptions = {
    "&Compiler", "&Series", "&Report", "&Warnings", "&Toggles", "&Integrator"};
// The integrator choices, indexed by kMerson and kBdf.
inline constexpr std::array<const char*, 2> kIntegratorChoices = {"Merson", "BDF (stiff)"};

// Item texts of the marker and line style choices, indexed by the style's byte value.
inline constexpr std::array<const char*, 6> kMarkerChoices = {
    "Circle", "Square", "Triangle Up", "Triangle Down", "Diamond", "Asterisk"};
inline constexpr std::array<const char*, 5> kLineStyleChoices = {"Solid", "Dashed", "Dotted",
                                                                 "Dash-Dot", "Dash-Dot-Dot"};

// Ranges of the controls. A value beyond them, as a hand-edited file may hold, is shown
// at the nearer end, as a slider or a spin field shows it.
inline constexpr int kMinLineWidth = 1, kMaxLineWidth = 9;
inline constexpr int kMinWeight = 1, kMaxWeight = 10;
inline constexpr int kMinPrintExtent = 20, kMaxPrintExtent = 100, kPrintExtentStep = 10;

// The general fields as the controls hold them.
struct OptionsGeneralFields {
  std::string CompilerPath;
  bool SourcePreview = true;
  bool AutoCompile = true;
  int HorizPercentage = 100;
  int VertPercentage = 50;
  std::string Threshold;  // as typed; checked when the dialog closes
  bool ShowIntegrationErrors = true;
  bool BranchNumbers = true;
  int ModelTimeLimit = 10;  // seconds, kMinModelTimeLimit..kMaxModelTimeLimit
  int Integrator = kMerson;
  std::string RelTolerance, AbsTolerance;  // as typed; checked when the dialog closes
  bool SensitivityJacobian = false;
  bool CompilerConsole = false;
};

// Where the dialog asks its view to put the keyboard focus.
enum class OptionsFocus { None, ThresholdSelected, RelToleranceSelected, AbsToleranceSelected };

// A tolerance as typed: a number from kMinTolerance to kMaxTolerance, or nothing.
std::optional<double> ToleranceOf(const std::string& text);

class OptionsDialogModel {
 public:
  // Shows series 1 on the Series page. `prefs` and `series` belong to the owner and must
  // outlive the model.
  OptionsDialogModel(UserInterface& ui, TZelkPrefs& prefs, TSeriesStyles& series);

  // Called whenever the model changed something the view shows by itself (page in front,
  // focus, series fields); the view then reads the model again.
  std::function<void()> Changed;

  // The Preferences command, before the dialog is shown: the general fields from the
  // preferences, the threshold as FormatThreshold text, the print extents in their range.
  void Open();

  OptionsGeneralFields General;
  // The Series page's marker, line style, Filled, colours, line width and weight.
  TSeriesStyle SeriesControls;

  int SelectedSeries() const { return selectedSeries_; }
  // "Serie " followed by the selected number.
  std::string SeriesCaption() const;
  // The series selector moved to `number` (1..50, others are ignored): stores the controls
  // into the series left, then shows the style of `number`.
  void SelectSeries(int number);

  // "Browse ...": a file dialog proposing the current path when it names an existing file;
  // a chosen path replaces the compiler path field.
  void BrowseCompiler();

  // The page in front; the view reports the user's choice with SetPage.
  OptionsPage CurrentPage() const { return page_; }
  void SetPage(OptionsPage page) { page_ = page; }
  OptionsFocus Focus() const { return focus_; }

  // The buttons; closing the window counts as Cancel. Both return whether the dialog may
  // close. With a threshold that is no number the dialog stays open: the Warnings page
  // comes to the front, "Numeric value required!" is shown and the threshold field is to
  // get the focus with its text selected.
  // OK stores the controls into the selected series and the general fields into the
  // preferences (the remembered folders stay), then asks for the Source page and the fit
  // chart to be shown anew.
  bool OkPressed();
  // Cancel changes nothing in the preferences.
  bool CancelPressed();

 private:
  void ShowSeries(int number);
  void StoreSeries();
  bool CanClose();
  void NotifyChanged();

  UserInterface& ui_;
  TZelkPrefs& prefs_;
  TSeriesStyles& series_;
  int selectedSeries_ = 1;
  OptionsPage page_ = OptionsPage::Compiler;
  OptionsFocus focus_ = OptionsFocus::None;
};

}  // namespace zelk
