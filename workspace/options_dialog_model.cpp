#include "workspace/options_dialog_model.h"

#include <algorithm>
#include <filesystem>

#include "base/format.h"
#include "base/messages.h"

namespace zelk {

namespace {

TSeriesStyle InControlRanges(TSeriesStyle style) {
  style.Weight = static_cast<std::uint8_t>(std::clamp<int>(style.Weight, kMinWeight, kMaxWeight));
  style.LineWidth = std::clamp(style.LineWidth, kMinLineWidth, kMaxLineWidth);
  return style;
}

int InPrintRange(int percent) { return std::clamp(percent, kMinPrintExtent, kMaxPrintExtent); }

int InTimeLimitRange(int seconds) {
  return std::clamp(seconds, kMinModelTimeLimit, kMaxModelTimeLimit);
}

}  // namespace

OptionsDialogModel::OptionsDialogModel(UserInterface& ui, TZelkPrefs& prefs, TSeriesStyles& series)
    : ui_(ui), prefs_(prefs), series_(series) {
  ShowSeries(1);
}

std::optional<double> ToleranceOf(const std::string& text) {
  const auto value = ParseNumber(text);
  if (!value || !(*value >= kMinTolerance && *value <= kMaxTolerance)) return std::nullopt;
  return value;
}

void OptionsDialogModel::Open() {
  General.CompilerPath = prefs_.CompilerPath;
  General.SourcePreview = prefs_.SourcePreview;
  General.AutoCompile = prefs_.AutoCompile;
  General.CompilerConsole = prefs_.CompilerConsole;
  General.ShowIntegrationErrors = prefs_.ShowIntegrationErrors;
  General.HorizPercentage = InPrintRange(prefs_.HorizPercentage);
  General.VertPercentage = InPrintRange(prefs_.VertPercentage);
  General.Threshold = FormatThreshold(prefs_.CovThreshold);
  General.BranchNumbers = prefs_.BranchNumbers;
  General.ModelTimeLimit = InTimeLimitRange(prefs_.ModelTimeLimit);
  General.Integrator = prefs_.Integrator;
  General.RelTolerance = FormatGeneral(prefs_.RelTolerance, 15);
  General.AbsTolerance = FormatGeneral(prefs_.AbsTolerance, 15);
  General.SensitivityJacobian = prefs_.SensitivityJacobian;
  focus_ = OptionsFocus::None;
  NotifyChanged();
}

std::string OptionsDialogModel::SeriesCaption() const {
  return "Serie " + std::to_string(selectedSeries_);
}

void OptionsDialogModel::SelectSeries(int number) {
  if (number < 1 || number > kSeriesCount || number == selectedSeries_) return;
  StoreSeries();
  ShowSeries(number);
  NotifyChanged();
}

void OptionsDialogModel::BrowseCompiler() {
  FileDialogRequest request;
  request.Title = msg::kBrowseCompilerTitle;
  request.Filter = msg::kBrowseCompilerFilter;
  request.DefaultExtension = "exe";
  std::error_code ec;
  if (!General.CompilerPath.empty() && std::filesystem::is_regular_file(General.CompilerPath, ec))
    request.ProposedName = General.CompilerPath;
  if (const auto chosen = ui_.OpenFileDialog(request)) {
    General.CompilerPath = *chosen;
    NotifyChanged();
  }
}

bool OptionsDialogModel::OkPressed() {
  if (!CanClose()) return false;
  StoreSeries();
  prefs_.CompilerPath = General.CompilerPath;
  prefs_.SourcePreview = General.SourcePreview;
  prefs_.AutoCompile = General.AutoCompile;
  prefs_.CompilerConsole = General.CompilerConsole;
  prefs_.ShowIntegrationErrors = General.ShowIntegrationErrors;
  prefs_.HorizPercentage = InPrintRange(General.HorizPercentage);
  prefs_.VertPercentage = InPrintRange(General.VertPercentage);
  prefs_.CovThreshold = *ParseThreshold(General.Threshold);
  prefs_.BranchNumbers = General.BranchNumbers;
  prefs_.ModelTimeLimit = InTimeLimitRange(General.ModelTimeLimit);
  prefs_.Integrator = General.Integrator == kBdf ? kBdf : kMerson;
  prefs_.RelTolerance = *ToleranceOf(General.RelTolerance);
  prefs_.AbsTolerance = *ToleranceOf(General.AbsTolerance);
  prefs_.SensitivityJacobian = General.SensitivityJacobian;
  // Applying the preferences: the Source page follows SourcePreview; the chart may change.
  ui_.Repaint(View::Source);
  ui_.Repaint(View::FitChart);
  return true;
}

bool OptionsDialogModel::CancelPressed() { return CanClose(); }

bool OptionsDialogModel::CanClose() {
  const auto refuse = [this](OptionsPage page, const char* message, OptionsFocus focus) {
    page_ = page;
    NotifyChanged();  // the page is in front before the message appears over it
    ui_.ShowMessage(MessageKind::Error, message, Buttons::Ok);
    focus_ = focus;
    NotifyChanged();
    return false;
  };
  if (!ParseThreshold(General.Threshold))
    return refuse(OptionsPage::Warnings, msg::kNumericRequired, OptionsFocus::ThresholdSelected);
  if (!ToleranceOf(General.RelTolerance))
    return refuse(OptionsPage::Integrator, msg::kToleranceRequired,
                  OptionsFocus::RelToleranceSelected);
  if (!ToleranceOf(General.AbsTolerance))
    return refuse(OptionsPage::Integrator, msg::kToleranceRequired,
                  OptionsFocus::AbsToleranceSelected);
  return true;
}

void OptionsDialogModel::ShowSeries(int number) {
  selectedSeries_ = number;
  SeriesControls = InControlRanges(series_.at(static_cast<std::size_t>(number)));
}

void OptionsDialogModel::StoreSeries() {
  series_.at(static_cast<std::size_t>(selectedSeries_)) = InControlRanges(SeriesControls);
}

void OptionsDialogModel::NotifyChanged() {
  if (Changed) Changed();
}

}  // namespace zelk
