#pragma once
// TFitPropDlg, "Fit Chart Properties": the chart's title and axis captions with their fonts,
// and manual axis ranges, over a FitPropertiesModel. Made once and reused.

#include <QDialog>
#include <array>
#include <functional>
#include <optional>

#include "workspace/fit_properties_model.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QTabWidget;

namespace zelk {

class TFitPropDlg : public QDialog {
 public:
  TFitPropDlg(FitPropertiesModel& model, QWidget* parent = nullptr);

  // The properties command: LoadFitProps, the dialog modally, StoreFitProps after OK.
  bool Execute();
  // The fields from the model, as before every showing.
  void Refresh();

  // The font dialog, starting from `current`; nothing when the user cancelled.
  std::function<std::optional<QFont>(const QFont& current)> ChooseFont;

  QTabWidget* Pages() const { return pages_; }

 private:
  struct TextRow {
    QCheckBox* Shown;
    QLineEdit* Edit;
  };
  struct AxisPage {
    QLineEdit* Labels;
    QRadioButton* Automatic;
    QRadioButton* Manual;
    QLineEdit* Min;
    QLineEdit* Max;
  };
  QWidget* BuildDescriptionsPage();
  QWidget* BuildAxisPage(const char* prefix, AxisPage& page, ScaleFields& scale,
                         CanvasFont& labelsFont, bool labelsReadOnly);
  void ShowScale(const AxisPage& page, const ScaleFields& scale);

  FitPropertiesModel& model_;
  QTabWidget* pages_ = nullptr;
  std::array<TextRow, kDescriptionCount> rows_{};
  AxisPage xPage_{}, yPage_{};
  bool refreshing_ = false;
};

// A description's font as Qt's and back; the colour is not part of a QFont.
QFont QFontFromDescription(const TDescription& d);
void StoreQFont(const QFont& font, TDescription& d);

}  // namespace zelk
