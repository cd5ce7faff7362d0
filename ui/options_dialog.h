#pragma once
// TOptionsDlg, the preferences dialog: five pages over an OptionsDialogModel. Every change
// of a control is written into the model at once and the buttons go to the model's
// handlers, which decide whether the dialog may close; when the model reports a change,
// the dialog shows it again. The dialog is made once and reused, like its model.

#include <QColor>
#include <QDialog>
#include <functional>

#include "qtpaint/qt_canvas.h"
#include "workspace/options_dialog_model.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QSlider;
class QSpinBox;
class QTabWidget;

namespace zelk {

class TOptionsDlg : public QDialog {
 public:
  // `model` must outlive the dialog; the dialog takes its Changed callback.
  TOptionsDlg(OptionsDialogModel& model, QWidget* parent = nullptr);
  ~TOptionsDlg() override;

  // The Preferences command: Prepare, then the dialog runs modally. Returns whether OK
  // closed it.
  bool Execute();
  // Opens the model and shows its fields, as before every showing.
  void Prepare();
  // Shows what the model holds: every field, the page in front and the focus it asks for.
  void Refresh();

  // OK (and Enter) and Cancel (and Escape and the window's close box); each closes the
  // dialog only when the model allows it.
  void accept() override;
  void reject() override;

  // Asks the user for a colour, starting from `current`; an invalid colour means the user
  // cancelled. A colour dialog unless replaced.
  std::function<QColor(const QColor& current)> ChooseColor;

 private:
  QWidget* BuildCompilerPage();
  QWidget* BuildSeriesPage();
  QWidget* BuildReportPage();
  QWidget* BuildWarningsPage();
  QWidget* BuildTogglesPage();
  QWidget* BuildIntegratorPage();
  void ShowLineColors();
  void PickColor(TColor& color);
  // Connects a check box to a field; the field must outlive the dialog.
  void BindCheck(QCheckBox* box, bool& field);

  OptionsDialogModel& model_;
  bool refreshing_ = false;  // widgets being set from the model write nothing back

  QTabWidget* pages_ = nullptr;
  QLineEdit* compilerPath_ = nullptr;
  QCheckBox* sourcePreview_ = nullptr;
  QCheckBox* autoCompile_ = nullptr;
  QCheckBox* compilerConsole_ = nullptr;
  QSpinBox* series_ = nullptr;
  QGroupBox* seriesGroup_ = nullptr;
  QComboBox* marker_ = nullptr;
  QComboBox* lineStyle_ = nullptr;
  QCheckBox* filled_ = nullptr;
  QLabel* linePanel_ = nullptr;
  QSpinBox* lineWidth_ = nullptr;
  QSlider* weight_ = nullptr;
  QSpinBox* horizPercent_ = nullptr;
  QSpinBox* vertPercent_ = nullptr;
  QLineEdit* threshold_ = nullptr;
  QCheckBox* integrationErrors_ = nullptr;
  QSpinBox* timeLimit_ = nullptr;
  QCheckBox* branchNumbers_ = nullptr;
  QComboBox* integrator_ = nullptr;
  QLineEdit* relTolerance_ = nullptr;
  QLineEdit* absTolerance_ = nullptr;
  QCheckBox* sensitivities_ = nullptr;
};

}  // namespace zelk
