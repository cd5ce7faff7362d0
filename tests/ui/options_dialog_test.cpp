// The preferences dialog's wiring, offscreen: it shows the model's fields, what the user does
// in its controls reaches the model, and its buttons close it only when the model allows.

#include "ui/options_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include "support/scripted_ui.h"

namespace zelk {
namespace {

using test::ScriptedUi;

class OptionsDlg : public ::testing::Test {
 protected:
  OptionsDlg() : model_(ui_, prefs_.General, prefs_.Series), dlg_(model_) {}

  // As the Preferences command does, but not modal, so that the test can go on.
  void Open() {
    dlg_.Prepare();
    dlg_.show();
  }

  template <typename T>
  T* Get(const char* name) {
    T* widget = dlg_.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  void Click(const char* button) { QTest::mouseClick(Get<QPushButton>(button), Qt::LeftButton); }
  void Type(const char* edit, const char* text) {
    QLineEdit* field = Get<QLineEdit>(edit);
    field->selectAll();
    QTest::keyClicks(field, QString::fromLatin1(text));
  }
  // The user clicks the page's tab.
  void Front(OptionsPage page) {
    Get<QTabWidget>("OptionsPages")->setCurrentIndex(static_cast<int>(page));
  }
  QString PageInFront() {
    auto* pages = Get<QTabWidget>("OptionsPages");
    return pages->tabText(pages->currentIndex());
  }

  // Changes every control of the Series page the way a user would.
  void EditSeriesControls() {
    Front(OptionsPage::Series);
    Get<QComboBox>("MarkerCombo")->setCurrentIndex(kMarkerDiamond);
    Get<QComboBox>("LineStyleCombo")->setCurrentIndex(kLineDashDot);
    Get<QCheckBox>("FilledCheck")->click();
    Get<QSpinBox>("LineWidthSpin")->setValue(4);
    Get<QSlider>("WeightSlider")->setValue(9);
    dlg_.ChooseColor = [](const QColor&) { return QColor(0, 0, 255); };
    Click("SetLineColorButton");
    dlg_.ChooseColor = [](const QColor&) { return QColor(0, 255, 0); };
    Click("SetFillColorButton");
  }
  static TSeriesStyle Edited() {
    return {kMarkerDiamond, 9, false, 0xFF0000, 0x00FF00, kLineDashDot, 4};
  }

  ScriptedUi ui_;
  TPreferences prefs_;
  OptionsDialogModel model_;
  TOptionsDlg dlg_;
};

TEST(OptionsDlgColors, KeepRedInTheLowestByte) {
  struct Case {
    TColor color;
    QColor shown;
  } cases[] = {
      {0x000000, QColor(0, 0, 0)},   {0x0000FF, QColor(255, 0, 0)},
      {0x00FF00, QColor(0, 255, 0)}, {0xFF0000, QColor(0, 0, 255)},
      {0x000080, QColor(128, 0, 0)}, {0x123456, QColor(0x56, 0x34, 0x12)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(QColorFromTColor(c.color), c.shown) << c.color;
    EXPECT_EQ(TColorFromQColor(c.shown), c.color) << c.color;
  }
  EXPECT_EQ(QColorFromTColor(static_cast<TColor>(0x7F0000FF)), QColor(255, 0, 0));
}

TEST_F(OptionsDlg, ShowsTheModelsFieldsOnItsFivePages) {
  prefs_.General.CompilerPath = "/opt/fpc/pasbuild";
  prefs_.General.AutoCompile = false;
  prefs_.General.HorizPercentage = 150;  // beyond the field, as a hand-edited file may hold
  prefs_.General.BranchNumbers = false;
  Open();
  EXPECT_EQ(dlg_.windowTitle(), "Preferences");
  auto* pages = Get<QTabWidget>("OptionsPages");
  ASSERT_EQ(pages->count(), 6);
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(pages->tabText(i), QString::fromLatin1(kOptionsPageCaptions[i]));
  EXPECT_EQ(PageInFront(), "&Compiler");
  EXPECT_EQ(Get<QGroupBox>("CompilerGroup")->title(), "Pascal (Orvel)");
  EXPECT_EQ(Get<QLineEdit>("CompilerPathEdit")->text(), "/opt/fpc/pasbuild");
  EXPECT_TRUE(Get<QCheckBox>("SourcePreviewCheck")->isChecked());
  EXPECT_FALSE(Get<QCheckBox>("AutoCompileCheck")->isChecked());
  EXPECT_EQ(Get<QSpinBox>("HorizPercentSpin")->value(), 100);
  EXPECT_EQ(Get<QSpinBox>("HorizPercentSpin")->text(), "100%");
  EXPECT_EQ(Get<QSpinBox>("VertPercentSpin")->value(), 50);
  EXPECT_EQ(Get<QSpinBox>("VertPercentSpin")->singleStep(), 10);
  EXPECT_EQ(Get<QLineEdit>("ThresholdEdit")->text(), "0.899999976158142");
  EXPECT_TRUE(Get<QCheckBox>("IntegrationErrorsCheck")->isChecked());
  EXPECT_EQ(Get<QSpinBox>("ModelTimeLimitSpin")->value(), 10);
  EXPECT_EQ(Get<QSpinBox>("ModelTimeLimitSpin")->minimum(), 1);
  EXPECT_EQ(Get<QSpinBox>("ModelTimeLimitSpin")->maximum(), 3600);
  EXPECT_FALSE(Get<QCheckBox>("BranchNumbersCheck")->isChecked());

  EXPECT_EQ(Get<QSpinBox>("SeriesSpin")->value(), 1);
  EXPECT_EQ(Get<QGroupBox>("SeriesGroup")->title(), "Serie 1");
  auto* markers = Get<QComboBox>("MarkerCombo");
  ASSERT_EQ(markers->count(), 6);
  EXPECT_EQ(markers->itemText(5), "Asterisk");
  EXPECT_EQ(Get<QComboBox>("LineStyleCombo")->itemText(4), "Dash-Dot-Dot");
  EXPECT_EQ(Get<QSpinBox>("LineWidthSpin")->maximum(), 9);
  EXPECT_EQ(Get<QSlider>("WeightSlider")->maximum(), 10);
  EXPECT_EQ(Get<QSlider>("WeightSlider")->value(), 2);
  EXPECT_EQ(Get<QLabel>("LinePanel")->text(), "Line");
}

TEST_F(OptionsDlg, TheSelectorShowsEachSeriesStyle) {
  prefs_.Series[7] = {kMarkerTriangleUp, 3, false, 0x0000FF, 0xFF0000, kLineDotted, 2};
  prefs_.Series[8] = {9, 0, true, 0, 0, 7, 20};  // no such marker or style, beyond the ranges
  Open();
  auto* spin = Get<QSpinBox>("SeriesSpin");
  spin->setValue(7);
  EXPECT_EQ(Get<QGroupBox>("SeriesGroup")->title(), "Serie 7");
  EXPECT_EQ(Get<QComboBox>("MarkerCombo")->currentText(), "Triangle Up");
  EXPECT_EQ(Get<QComboBox>("LineStyleCombo")->currentText(), "Dotted");
  EXPECT_FALSE(Get<QCheckBox>("FilledCheck")->isChecked());
  EXPECT_EQ(Get<QSpinBox>("LineWidthSpin")->value(), 2);
  EXPECT_EQ(Get<QSlider>("WeightSlider")->value(), 3);
  const QPalette panel = Get<QLabel>("LinePanel")->palette();
  EXPECT_EQ(panel.color(QPalette::Window), QColor(0, 0, 255));
  EXPECT_EQ(panel.color(QPalette::WindowText), QColor(255, 0, 0));

  spin->setValue(8);
  EXPECT_EQ(Get<QComboBox>("MarkerCombo")->currentIndex(), -1);
  EXPECT_EQ(Get<QSpinBox>("LineWidthSpin")->value(), 9);
  spin->setValue(9);  // showing series 8 changed only what its controls cannot hold
  EXPECT_EQ(prefs_.Series[8], (TSeriesStyle{9, 1, true, 0, 0, 7, 9}));
}

TEST_F(OptionsDlg, ASeriesEditedAndLeftStaysAfterCancel) {
  Open();
  Get<QSpinBox>("SeriesSpin")->setValue(3);
  EditSeriesControls();
  const QPalette panel = Get<QLabel>("LinePanel")->palette();
  EXPECT_EQ(panel.color(QPalette::Window), QColor(0, 255, 0));
  EXPECT_EQ(panel.color(QPalette::WindowText), QColor(0, 0, 255));
  dlg_.ChooseColor = [](const QColor&) { return QColor(); };  // the user cancels
  Click("SetFillColorButton");
  EXPECT_EQ(model_.SeriesControls.FillColor, 0x00FF00);

  Get<QSpinBox>("SeriesSpin")->setValue(4);
  EXPECT_EQ(Get<QGroupBox>("SeriesGroup")->title(), "Serie 4");
  EXPECT_EQ(Get<QComboBox>("MarkerCombo")->currentText(), "Triangle Down");  // the fourth's
  EXPECT_TRUE(Get<QCheckBox>("FilledCheck")->isChecked());
  Type("CompilerPathEdit", "/tmp/other");
  Click("CancelButton");
  EXPECT_FALSE(dlg_.isVisible());
  EXPECT_EQ(dlg_.result(), QDialog::Rejected);
  EXPECT_EQ(prefs_.Series[3], Edited());
  EXPECT_EQ(prefs_.Series[4], DefaultSeriesStyles()[4]);
  EXPECT_EQ(prefs_.General, TZelkPrefs{});

  Open();  // the next showing drops the cancelled path, keeps the series shown
  EXPECT_EQ(Get<QLineEdit>("CompilerPathEdit")->text(), "");
  EXPECT_EQ(Get<QSpinBox>("SeriesSpin")->value(), 4);
}

TEST_F(OptionsDlg, StaysOpenOnTheWarningsPageWhileTheThresholdIsNoNumber) {
  Open();
  Type("ThresholdEdit", "abc");
  Front(OptionsPage::Series);
  Click("CancelButton");
  EXPECT_TRUE(dlg_.isVisible());
  EXPECT_EQ(PageInFront(), "&Warnings");
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{"Numeric value required!"});
  auto* threshold = Get<QLineEdit>("ThresholdEdit");
  EXPECT_EQ(dlg_.focusWidget(), threshold);
  EXPECT_EQ(threshold->selectedText(), "abc");

  // The close box and OK are refused the same way.
  Front(OptionsPage::Toggles);
  EXPECT_FALSE(dlg_.close());
  EXPECT_EQ(PageInFront(), "&Warnings");
  Click("OkButton");
  EXPECT_TRUE(dlg_.isVisible());
  EXPECT_EQ(ui_.TakeMessages(),
            (std::vector<std::string>{"Numeric value required!", "Numeric value required!"}));
  EXPECT_EQ(prefs_.General, TZelkPrefs{});

  // Later changes on other pages leave the focus where the user puts it.
  Front(OptionsPage::Series);
  auto* spin = Get<QSpinBox>("SeriesSpin");
  spin->setFocus();
  spin->setValue(2);
  EXPECT_EQ(dlg_.focusWidget(), spin);

  Type("ThresholdEdit", "0.25");
  Click("OkButton");
  EXPECT_FALSE(dlg_.isVisible());
  EXPECT_FLOAT_EQ(prefs_.General.CovThreshold, 0.25f);
}

TEST_F(OptionsDlg, OkStoresWhatTheControlsHold) {
  prefs_.General.DataLocation = "/data";
  Open();
  Type("CompilerPathEdit", "/opt/fpc/pasbuild");
  Get<QCheckBox>("SourcePreviewCheck")->click();
  Get<QCheckBox>("AutoCompileCheck")->click();
  Get<QSpinBox>("HorizPercentSpin")->stepDown();
  Get<QSpinBox>("VertPercentSpin")->setValue(30);
  Type("ThresholdEdit", "0.5");
  Get<QCheckBox>("IntegrationErrorsCheck")->click();
  Get<QSpinBox>("ModelTimeLimitSpin")->setValue(25);
  Get<QCheckBox>("BranchNumbersCheck")->click();
  Get<QSpinBox>("SeriesSpin")->setValue(6);
  EditSeriesControls();
  Click("OkButton");
  EXPECT_FALSE(dlg_.isVisible());
  EXPECT_EQ(dlg_.result(), QDialog::Accepted);
  const TZelkPrefs expected{
      "/opt/fpc/pasbuild", "", "/data", false, false, false, 30, 90, 0.5f, false, 25};
  EXPECT_EQ(prefs_.General, expected);
  EXPECT_EQ(prefs_.Series[6], Edited());  // the series shown, stored without leaving it
  EXPECT_EQ(ui_.Repaints[View::Source], 1);
  EXPECT_EQ(ui_.Repaints[View::FitChart], 1);
  EXPECT_TRUE(ui_.Messages.empty());

  Open();
  EXPECT_EQ(Get<QLineEdit>("ThresholdEdit")->text(), "0.5");
  EXPECT_EQ(Get<QSpinBox>("HorizPercentSpin")->value(), 90);
}

TEST_F(OptionsDlg, BrowseProposesAnExistingPathAndFillsTheField) {
  const std::string existing = QCoreApplication::applicationFilePath().toStdString();
  prefs_.General.CompilerPath = existing;
  Open();
  ui_.DialogAnswers.push_back("/opt/fpc/pasbuild");
  Click("BrowseButton");
  ASSERT_EQ(ui_.OpenRequests.size(), 1u);
  EXPECT_EQ(ui_.OpenRequests[0].Title, "Browse for file ...");
  EXPECT_EQ(ui_.OpenRequests[0].ProposedName, existing);
  EXPECT_EQ(Get<QLineEdit>("CompilerPathEdit")->text(), "/opt/fpc/pasbuild");
  Click("BrowseButton");                            // cancelled: the field keeps the chosen path
  EXPECT_EQ(ui_.OpenRequests[1].ProposedName, "");  // no such file here
  EXPECT_EQ(Get<QLineEdit>("CompilerPathEdit")->text(), "/opt/fpc/pasbuild");
  Click("OkButton");
  EXPECT_EQ(prefs_.General.CompilerPath, "/opt/fpc/pasbuild");
}

TEST_F(OptionsDlg, ExecuteRunsModallyAndTellsWhetherOkClosedIt) {
  for (const char* button : {"OkButton", "CancelButton"}) {
    bool wasModal = false;
    // Runs on the first turn of the dialog's own event loop.
    QMetaObject::invokeMethod(
        &dlg_,
        [&] {
          wasModal = QApplication::activeModalWidget() == &dlg_;
          Click(button);
        },
        Qt::QueuedConnection);
    const bool ok = dlg_.Execute();
    EXPECT_TRUE(wasModal) << button;
    EXPECT_EQ(ok, std::string(button) == "OkButton") << button;
    EXPECT_FALSE(dlg_.isVisible()) << button;
  }
}

// The tolerances belong to BDF: they are enabled with it, typed, and stored by OK.
TEST_F(OptionsDlg, TheIntegratorPageChoosesBdfWithItsTolerances) {
  Open();
  Front(OptionsPage::Integrator);
  EXPECT_FALSE(Get<QLineEdit>("RelToleranceEdit")->isEnabled());
  auto* integrator = Get<QComboBox>("IntegratorCombo");
  integrator->setFocus();
  QTest::keyClick(integrator, Qt::Key_Down);
  EXPECT_EQ(integrator->currentText(), "BDF (stiff)");
  EXPECT_TRUE(Get<QLineEdit>("RelToleranceEdit")->isEnabled());
  Type("RelToleranceEdit", "1e-8");
  Get<QCheckBox>("SensitivitiesCheck")->click();
  Click("OkButton");
  EXPECT_EQ(prefs_.General.Integrator, kBdf);
  EXPECT_EQ(prefs_.General.RelTolerance, 1e-8);
  EXPECT_EQ(prefs_.General.AbsTolerance, 1e-10);
  EXPECT_TRUE(prefs_.General.SensitivityJacobian);
}

}  // namespace
}  // namespace zelk
