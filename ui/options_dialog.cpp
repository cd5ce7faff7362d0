#include "ui/options_dialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <utility>

#include "base/messages.h"

namespace zelk {

namespace {

void SetTextIfChanged(QLineEdit* edit, const std::string& text) {
  const QString shown = QString::fromStdString(text);
  if (edit->text() != shown) edit->setText(shown);  // keeps the caret while nothing changed
}

QCheckBox* NewCheck(const char* caption, const char* name, QWidget* parent) {
  auto* box = new QCheckBox(QString::fromLatin1(caption), parent);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

QSpinBox* NewSpin(const char* name, int low, int high, QWidget* parent) {
  auto* spin = new QSpinBox(parent);
  spin->setObjectName(QString::fromLatin1(name));
  spin->setRange(low, high);
  return spin;
}

template <std::size_t N>
QComboBox* NewChoice(const char* name, const std::array<const char*, N>& items, QWidget* parent) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(QString::fromLatin1(name));
  for (const char* item : items) combo->addItem(QString::fromLatin1(item));
  return combo;
}

}  // namespace

TOptionsDlg::TOptionsDlg(OptionsDialogModel& model, QWidget* parent)
    : QDialog(parent), model_(model) {
  setObjectName("OptionsDlg");
  setWindowTitle("Preferences");
  ChooseColor = [this](const QColor& current) { return QColorDialog::getColor(current, this); };

  pages_ = new QTabWidget(this);
  pages_->setObjectName("OptionsPages");
  pages_->setUsesScrollButtons(false);  // every page's tab in sight: the dialog widens
  QWidget* const built[] = {BuildCompilerPage(), BuildSeriesPage(), BuildReportPage(),
                            BuildWarningsPage(), BuildTogglesPage(), BuildIntegratorPage()};
  for (std::size_t i = 0; i < kOptionsPageCaptions.size(); ++i)
    pages_->addTab(built[i], QString::fromLatin1(kOptionsPageCaptions[i]));
  connect(pages_, &QTabWidget::currentChanged, this, [this](int index) {
    if (!refreshing_ && index >= 0) model_.SetPage(static_cast<OptionsPage>(index));
  });

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("OkButton");
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("CancelButton");
  connect(buttons, &QDialogButtonBox::accepted, this, &TOptionsDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &TOptionsDlg::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages_);
  layout->addWidget(buttons);

  model_.Changed = [this] { Refresh(); };
  Refresh();
}

TOptionsDlg::~TOptionsDlg() { model_.Changed = nullptr; }

QWidget* TOptionsDlg::BuildCompilerPage() {
  auto* page = new QWidget;
  page->setObjectName("CompilerPage");
  auto* group = new QGroupBox("Pascal (Orvel)", page);
  group->setObjectName("CompilerGroup");
  auto* label = new QLabel("PASBUILD.EXE", group);
  compilerPath_ = new QLineEdit(group);
  compilerPath_->setObjectName("CompilerPathEdit");
  compilerPath_->setMinimumWidth(260);
  label->setBuddy(compilerPath_);
  connect(compilerPath_, &QLineEdit::textEdited, this,
          [this](const QString& text) { model_.General.CompilerPath = text.toStdString(); });
  auto* browse = new QPushButton("Browse ...", group);
  browse->setObjectName("BrowseButton");
  browse->setAutoDefault(false);  // Enter stays with OK
  connect(browse, &QPushButton::clicked, this, [this] {
    model_.BrowseCompiler();
    SetTextIfChanged(compilerPath_, model_.General.CompilerPath);
  });
  auto* groupLayout = new QGridLayout(group);
  groupLayout->addWidget(label, 0, 0, 1, 2);
  groupLayout->addWidget(compilerPath_, 1, 0);
  groupLayout->addWidget(browse, 1, 1);

  sourcePreview_ = NewCheck("Enable Source &Preview", "SourcePreviewCheck", page);
  autoCompile_ = NewCheck("Compile on &Load", "AutoCompileCheck", page);
  BindCheck(sourcePreview_, model_.General.SourcePreview);
  BindCheck(autoCompile_, model_.General.AutoCompile);
  compilerConsole_ = NewCheck("Show Compiler &Console", "CompilerConsoleCheck", page);
  BindCheck(compilerConsole_, model_.General.CompilerConsole);

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(group);
  layout->addWidget(sourcePreview_);
  layout->addWidget(autoCompile_);
  layout->addWidget(compilerConsole_);
  layout->addStretch(1);
  return page;
}

QWidget* TOptionsDlg::BuildSeriesPage() {
  auto* page = new QWidget;
  page->setObjectName("SeriesPage");
  series_ = NewSpin("SeriesSpin", 1, kSeriesCount, page);
  connect(series_, &QSpinBox::valueChanged, this, [this](int number) {
    if (!refreshing_) model_.SelectSeries(number);
  });

  seriesGroup_ = new QGroupBox(page);
  seriesGroup_->setObjectName("SeriesGroup");
  marker_ = NewChoice("MarkerCombo", kMarkerChoices, seriesGroup_);
  lineStyle_ = NewChoice("LineStyleCombo", kLineStyleChoices, seriesGroup_);
  // A style byte beyond the items shows no item and stays as it is until the user chooses.
  connect(marker_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (!refreshing_ && index >= 0) model_.SeriesControls.Marker = static_cast<std::uint8_t>(index);
  });
  connect(lineStyle_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (!refreshing_ && index >= 0)
      model_.SeriesControls.LineStyle = static_cast<std::uint8_t>(index);
  });
  filled_ = NewCheck("Filled", "FilledCheck", seriesGroup_);
  BindCheck(filled_, model_.SeriesControls.Filled);

  linePanel_ = new QLabel("Line", seriesGroup_);
  linePanel_->setObjectName("LinePanel");
  linePanel_->setAlignment(Qt::AlignCenter);
  linePanel_->setFrameShape(QFrame::Panel);
  linePanel_->setFrameShadow(QFrame::Sunken);
  linePanel_->setAutoFillBackground(true);
  linePanel_->setMinimumSize(80, 24);
  lineWidth_ = NewSpin("LineWidthSpin", kMinLineWidth, kMaxLineWidth, seriesGroup_);
  connect(lineWidth_, &QSpinBox::valueChanged, this, [this](int width) {
    if (!refreshing_) model_.SeriesControls.LineWidth = width;
  });

  auto* setFill = new QPushButton("Set Fill Color", seriesGroup_);
  setFill->setObjectName("SetFillColorButton");
  auto* setLine = new QPushButton("Set Line Color", seriesGroup_);
  setLine->setObjectName("SetLineColorButton");
  for (QPushButton* button : {setFill, setLine}) button->setAutoDefault(false);
  connect(setFill, &QPushButton::clicked, this,
          [this] { PickColor(model_.SeriesControls.FillColor); });
  connect(setLine, &QPushButton::clicked, this,
          [this] { PickColor(model_.SeriesControls.LineColor); });

  weight_ = new QSlider(Qt::Horizontal, seriesGroup_);
  weight_->setObjectName("WeightSlider");
  weight_->setRange(kMinWeight, kMaxWeight);
  weight_->setPageStep(1);
  weight_->setTickPosition(QSlider::TicksBelow);
  connect(weight_, &QSlider::valueChanged, this, [this](int weight) {
    if (!refreshing_) model_.SeriesControls.Weight = static_cast<std::uint8_t>(weight);
  });

  auto* grid = new QGridLayout(seriesGroup_);
  auto addLabelled = [&](int row, const char* caption, QWidget* field) {
    auto* label = new QLabel(QString::fromLatin1(caption), seriesGroup_);
    label->setBuddy(field);
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row, 1, 1, 2);
  };
  addLabelled(0, "Marker", marker_);
  addLabelled(1, "Line Style", lineStyle_);
  grid->addWidget(filled_, 2, 1, 1, 2);
  grid->addWidget(linePanel_, 3, 1);
  grid->addWidget(lineWidth_, 3, 2);
  grid->addWidget(setFill, 4, 1);
  grid->addWidget(setLine, 4, 2);
  addLabelled(5, "Weight", weight_);

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(series_, 0, Qt::AlignLeft);
  layout->addWidget(seriesGroup_);
  layout->addStretch(1);
  return page;
}

QWidget* TOptionsDlg::BuildReportPage() {
  auto* page = new QWidget;
  page->setObjectName("ReportPage");
  auto* group = new QGroupBox("&Fit Chart Print Extent", page);
  group->setObjectName("PrintExtentGroup");
  auto* form = new QFormLayout(group);
  auto addExtent = [&](const char* caption, const char* name, int& field) {
    QSpinBox* spin = NewSpin(name, kMinPrintExtent, kMaxPrintExtent, group);
    spin->setSingleStep(kPrintExtentStep);
    spin->setSuffix("%");
    connect(spin, &QSpinBox::valueChanged, this, [this, &field](int percent) {
      if (!refreshing_) field = percent;
    });
    form->addRow(QString::fromLatin1(caption), spin);
    return spin;
  };
  horizPercent_ = addExtent("Horizontal:", "HorizPercentSpin", model_.General.HorizPercentage);
  vertPercent_ = addExtent("Vertical:", "VertPercentSpin", model_.General.VertPercentage);

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(group);
  layout->addStretch(1);
  return page;
}

QWidget* TOptionsDlg::BuildWarningsPage() {
  auto* page = new QWidget;
  page->setObjectName("WarningsPage");
  auto* label = new QLabel("Covariance Highlight Threshold:", page);
  threshold_ = new QLineEdit(page);
  threshold_->setObjectName("ThresholdEdit");
  label->setBuddy(threshold_);
  connect(threshold_, &QLineEdit::textEdited, this,
          [this](const QString& text) { model_.General.Threshold = text.toStdString(); });
  integrationErrors_ = NewCheck("&Show Integration Errors", "IntegrationErrorsCheck", page);
  BindCheck(integrationErrors_, model_.General.ShowIntegrationErrors);
  auto* limitLabel = new QLabel(QString::fromLatin1(msg::kModelTimeLimitCaption), page);
  timeLimit_ = NewSpin("ModelTimeLimitSpin", kMinModelTimeLimit, kMaxModelTimeLimit, page);
  limitLabel->setBuddy(timeLimit_);
  connect(timeLimit_, &QSpinBox::valueChanged, this, [this](int seconds) {
    if (!refreshing_) model_.General.ModelTimeLimit = seconds;
  });

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(label);
  layout->addWidget(threshold_);
  layout->addWidget(integrationErrors_);
  layout->addWidget(limitLabel);
  layout->addWidget(timeLimit_);
  layout->addStretch(1);
  return page;
}

QWidget* TOptionsDlg::BuildTogglesPage() {
  auto* page = new QWidget;
  page->setObjectName("TogglesPage");
  branchNumbers_ = NewCheck("Show Branch Numbers", "BranchNumbersCheck", page);
  BindCheck(branchNumbers_, model_.General.BranchNumbers);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(branchNumbers_);
  layout->addStretch(1);
  return page;
}

QWidget* TOptionsDlg::BuildIntegratorPage() {
  auto* page = new QWidget;
  page->setObjectName("IntegratorPage");
  integrator_ = new QComboBox(page);
  integrator_->setObjectName("IntegratorCombo");
  for (const char* choice : kIntegratorChoices) integrator_->addItem(QString::fromLatin1(choice));
  connect(integrator_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (!refreshing_ && index >= 0) {
      model_.General.Integrator = index;
      Refresh();  // the tolerances belong to BDF alone
    }
  });
  auto tolerance = [this, page](const char* name, std::string& field) {
    auto* edit = new QLineEdit(page);
    edit->setObjectName(name);
    connect(edit, &QLineEdit::textEdited, this,
            [&field](const QString& text) { field = text.toStdString(); });
    return edit;
  };
  relTolerance_ = tolerance("RelToleranceEdit", model_.General.RelTolerance);
  absTolerance_ = tolerance("AbsToleranceEdit", model_.General.AbsTolerance);
  sensitivities_ = NewCheck("Jacobian from &sensitivities", "SensitivitiesCheck", page);
  BindCheck(sensitivities_, model_.General.SensitivityJacobian);
  auto* form = new QFormLayout(page);
  form->addRow("Integrator of differential models:", integrator_);
  form->addRow("&Relative tolerance:", relTolerance_);
  form->addRow("&Absolute tolerance:", absTolerance_);
  form->addRow(sensitivities_);
  return page;
}

void TOptionsDlg::BindCheck(QCheckBox* box, bool& field) {
  connect(box, &QCheckBox::toggled, this, [this, &field](bool checked) {
    if (!refreshing_) field = checked;
  });
}

bool TOptionsDlg::Execute() {
  Prepare();
  return exec() == QDialog::Accepted;
}

void TOptionsDlg::Prepare() {
  model_.Open();
  Refresh();  // also when someone else took the Changed callback
}

void TOptionsDlg::Refresh() {
  const bool outer = !std::exchange(refreshing_, true);

  const OptionsGeneralFields& general = model_.General;
  SetTextIfChanged(compilerPath_, general.CompilerPath);
  sourcePreview_->setChecked(general.SourcePreview);
  autoCompile_->setChecked(general.AutoCompile);
  compilerConsole_->setChecked(general.CompilerConsole);
  horizPercent_->setValue(general.HorizPercentage);
  vertPercent_->setValue(general.VertPercentage);
  SetTextIfChanged(threshold_, general.Threshold);
  integrationErrors_->setChecked(general.ShowIntegrationErrors);
  timeLimit_->setValue(general.ModelTimeLimit);
  branchNumbers_->setChecked(general.BranchNumbers);
  integrator_->setCurrentIndex(general.Integrator);
  SetTextIfChanged(relTolerance_, general.RelTolerance);
  SetTextIfChanged(absTolerance_, general.AbsTolerance);
  sensitivities_->setChecked(general.SensitivityJacobian);
  for (QWidget* bdfOnly : std::initializer_list<QWidget*>{relTolerance_, absTolerance_, sensitivities_})
    bdfOnly->setEnabled(general.Integrator == kBdf);

  const TSeriesStyle& style = model_.SeriesControls;
  series_->setValue(model_.SelectedSeries());
  seriesGroup_->setTitle(QString::fromStdString(model_.SeriesCaption()));
  marker_->setCurrentIndex(style.Marker < marker_->count() ? style.Marker : -1);
  lineStyle_->setCurrentIndex(style.LineStyle < lineStyle_->count() ? style.LineStyle : -1);
  filled_->setChecked(style.Filled);
  lineWidth_->setValue(style.LineWidth);
  weight_->setValue(style.Weight);
  ShowLineColors();

  pages_->setCurrentIndex(static_cast<int>(model_.CurrentPage()));
  // The request stays in the model until the next opening; it is meant only while its
  // page is in front, so that later changes elsewhere do not pull the focus away.
  QLineEdit* const focused = model_.Focus() == OptionsFocus::ThresholdSelected ? threshold_
                            : model_.Focus() == OptionsFocus::RelToleranceSelected
                                ? relTolerance_
                            : model_.Focus() == OptionsFocus::AbsToleranceSelected ? absTolerance_
                                                                                   : nullptr;
  const OptionsPage focusPage = focused == threshold_ ? OptionsPage::Warnings : OptionsPage::Integrator;
  if (focused && model_.CurrentPage() == focusPage) {
    focused->setFocus(Qt::OtherFocusReason);
    focused->selectAll();
  }

  if (outer) refreshing_ = false;
}

void TOptionsDlg::ShowLineColors() {
  QPalette palette = linePanel_->palette();
  palette.setColor(QPalette::Window, QColorFromTColor(model_.SeriesControls.FillColor));
  palette.setColor(QPalette::WindowText, QColorFromTColor(model_.SeriesControls.LineColor));
  linePanel_->setPalette(palette);
}

void TOptionsDlg::PickColor(TColor& color) {
  const QColor chosen = ChooseColor(QColorFromTColor(color));
  if (!chosen.isValid()) return;
  color = TColorFromQColor(chosen);
  ShowLineColors();
}

void TOptionsDlg::accept() {
  if (model_.OkPressed()) QDialog::accept();
}

void TOptionsDlg::reject() {
  if (model_.CancelPressed()) QDialog::reject();
}

}  // namespace zelk
