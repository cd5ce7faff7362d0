#pragma once
// TFitPropDlg, "Fit Chart Properties": the chart's title and axis captions with their fonts,
// and manual axis ranges, over a FitPropertiesModel. Made once and reused.

#include <QColor>
#include <QDialog>
#include <QFont>
#include <array>
#include <functional>
#include <optional>

#include "workspace/fit_properties_model.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace zelk {

// A font with its colour, as the platform's font dialog offers them together.
struct FontChoice {
  QFont Font;
  QColor Color;
};

// Qt's font dialog with a colour button beside it.
std::optional<FontChoice> ChooseFontAndColour(QWidget* parent, const FontChoice& current);

class TFitPropDlg : public QDialog {
 public:
  TFitPropDlg(FitPropertiesModel& model, QWidget* parent = nullptr);

  // The properties command: LoadFitProps, the dialog modally, StoreFitProps after OK.
  bool Execute();
  // The fields from the model, as before every showing.
  void Refresh();

  // The font dialog, starting from `current`; nothing when the user cancelled.
  std::function<std::optional<FontChoice>(const FontChoice& current)> ChooseFont;

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
                         TDescription& labelsFont, bool labelsReadOnly);
  // A "Font ..." button that lets the user change `font` and shows it in `edit`.
  QPushButton* FontButton(const QString& name, TDescription& font, QLineEdit* edit);
  void ShowScale(const AxisPage& page, const ScaleFields& scale);

  FitPropertiesModel& model_;
  QTabWidget* pages_ = nullptr;
  std::array<TextRow, kDescriptionCount> rows_{};
  AxisPage xPage_{}, yPage_{};
  bool refreshing_ = false;
};

// A description's font and colour as Qt's and back.
FontChoice FontOf(const TDescription& d);
void StoreFont(const FontChoice& choice, TDescription& d);

}  // namespace zelk
