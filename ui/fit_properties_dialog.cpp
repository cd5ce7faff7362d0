#include "ui/fit_properties_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFontInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "qtpaint/qt_canvas.h"

namespace zelk {

namespace {

void ShowFont(QLineEdit* edit, const TDescription& d) {
  const FontChoice font = FontOf(d);
  edit->setFont(font.Font);
  QPalette palette = edit->palette();
  palette.setColor(QPalette::Text, font.Color);
  edit->setPalette(palette);
}

void ShowSwatch(QPushButton* button, const QColor& color) {
  QPixmap swatch(24, 12);
  swatch.fill(color);
  button->setIcon(QIcon(swatch));
}

}  // namespace

FontChoice FontOf(const TDescription& d) {
  QFont font(QString::fromStdString(d.FontName));
  font.setPointSize(std::max(d.Size, 1));
  font.setBold(d.Bold);
  font.setItalic(d.Italic);
  font.setUnderline(d.Underline);
  return {font, QColorFromTColor(d.Color)};
}

void StoreFont(const FontChoice& choice, TDescription& d) {
  d.FontName = choice.Font.family().toStdString();
  d.Size = choice.Font.pointSize() > 0 ? choice.Font.pointSize() : d.Size;
  d.Bold = choice.Font.bold();
  d.Italic = choice.Font.italic();
  d.Underline = choice.Font.underline();
  d.Color = TColorFromQColor(choice.Color);
}

std::optional<FontChoice> ChooseFontAndColour(QWidget* parent, const FontChoice& current) {
  QDialog dialog(parent);
  dialog.setWindowTitle("Font");
  // Without a style name the dialog selects the family's first style (often an oblique)
  // and would hand it back though the user changed nothing.
  QFont start = current.Font;
  start.setStyleName(QFontInfo(start).styleName());
  auto* fonts = new QFontDialog(start, &dialog);
  fonts->setWindowFlags(Qt::Widget);
  fonts->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
  QColor color = current.Color;
  auto* colour = new QPushButton("&Colour ...");
  ShowSwatch(colour, color);
  QObject::connect(colour, &QPushButton::clicked, &dialog, [&] {
    const QColor chosen = QColorDialog::getColor(color, &dialog);
    if (!chosen.isValid()) return;
    color = chosen;
    ShowSwatch(colour, color);
  });
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* row = new QHBoxLayout;
  row->addWidget(colour);
  row->addStretch(1);
  row->addWidget(buttons);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(fonts);
  layout->addLayout(row);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return FontChoice{fonts->currentFont(), color};
}

TFitPropDlg::TFitPropDlg(FitPropertiesModel& model, QWidget* parent)
    : QDialog(parent), model_(model) {
  setObjectName("FitPropDlg");
  setWindowTitle("Fit Chart Properties");
  setFixedSize(403, 311);
  ChooseFont = [this](const FontChoice& current) { return ChooseFontAndColour(this, current); };
  pages_ = new QTabWidget;
  pages_->addTab(BuildDescriptionsPage(), "&Descriptions");
  pages_->addTab(BuildAxisPage("X", xPage_, model_.XScale, model_.XLabelsFont, true), "&X-axis");
  pages_->addTab(BuildAxisPage("Y", yPage_, model_.YScale, model_.YLabelsFont, false), "&Y-axis");
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages_);
  layout->addWidget(buttons);
  Refresh();
}

QWidget* TFitPropDlg::BuildDescriptionsPage() {
  auto* page = new QWidget;
  auto* grid = new QGridLayout(page);
  const std::pair<const char*, const char*> names[] = {{"fchpTitle", "Fit Chart Title"},
                                                       {"fchpXAxis", "X-Axis Label"},
                                                       {"fchpYAxis", "Y-Axis Label"}};
  for (int d = 0; d < kDescriptionCount; ++d) {
    TextRow& row = rows_[d];
    row.Shown = new QCheckBox(names[d].second);
    row.Shown->setObjectName(names[d].first);
    row.Edit = new QLineEdit;
    row.Edit->setObjectName(QString(names[d].first) + "Text");
    QPushButton* font = FontButton(QString(names[d].first) + "Font", model_.Texts[d], row.Edit);
    grid->addWidget(row.Shown, 2 * d, 0, 1, 2);
    grid->addWidget(row.Edit, 2 * d + 1, 0);
    grid->addWidget(font, 2 * d + 1, 1);
    connect(row.Shown, &QCheckBox::toggled, this, [this, d](bool on) {
      if (!refreshing_) model_.Texts[d].Active = on;
    });
    connect(row.Edit, &QLineEdit::textEdited, this,
            [this, d](const QString& text) { model_.Texts[d].Caption = text.toStdString(); });
  }
  grid->setRowStretch(2 * kDescriptionCount, 1);
  return page;
}

QWidget* TFitPropDlg::BuildAxisPage(const char* prefix, AxisPage& axis, ScaleFields& scale,
                                    TDescription& labelsFont, bool labelsReadOnly) {
  auto* page = new QWidget;
  auto* grid = new QGridLayout(page);
  axis.Labels = new QLineEdit("Scale Labels");
  axis.Labels->setObjectName(QString("fchp%1Labels").arg(prefix));
  axis.Labels->setReadOnly(labelsReadOnly);
  // The sample's font is only shown: the chart draws scale labels in the caption's font.
  QPushButton* font = FontButton(QString("fchp%1LabelsFont").arg(prefix), labelsFont, axis.Labels);
  auto* box = new QGroupBox("Scale");
  box->setObjectName(QString("%1ScaleRadio").arg(prefix));
  auto* boxLayout = new QGridLayout(box);
  axis.Automatic = new QRadioButton("Automatic");
  axis.Manual = new QRadioButton("Manual");
  auto* group = new QButtonGroup(box);
  group->addButton(axis.Automatic);
  group->addButton(axis.Manual);
  axis.Min = new QLineEdit;
  axis.Min->setObjectName(QString("Min%1Scale").arg(prefix));
  axis.Max = new QLineEdit;
  axis.Max->setObjectName(QString("Max%1Scale").arg(prefix));
  boxLayout->addWidget(axis.Automatic, 1, 0, 1, 4);
  boxLayout->addWidget(axis.Manual, 2, 0, 1, 4);
  boxLayout->addWidget(new QLabel("Min:"), 3, 0);
  boxLayout->addWidget(axis.Min, 3, 1);
  boxLayout->addWidget(new QLabel("Max:"), 3, 2);
  boxLayout->addWidget(axis.Max, 3, 3);
  connect(axis.Manual, &QRadioButton::toggled, this, [this, &axis, &scale](bool on) {
    if (refreshing_) return;
    scale.Manual = on;
    ShowScale(axis, scale);
  });
  connect(axis.Min, &QLineEdit::textEdited, this,
          [&scale](const QString& text) { scale.Min = text.toStdString(); });
  connect(axis.Max, &QLineEdit::textEdited, this,
          [&scale](const QString& text) { scale.Max = text.toStdString(); });
  grid->addWidget(axis.Labels, 0, 0);
  grid->addWidget(font, 0, 1);
  grid->addWidget(box, 1, 0, 1, 2);
  grid->setRowStretch(2, 1);
  return page;
}

QPushButton* TFitPropDlg::FontButton(const QString& name, TDescription& font, QLineEdit* edit) {
  auto* button = new QPushButton("Font ...");
  button->setObjectName(name);
  connect(button, &QPushButton::clicked, this, [this, &font, edit] {
    if (const auto chosen = ChooseFont(FontOf(font))) {
      StoreFont(*chosen, font);
      ShowFont(edit, font);
    }
  });
  return button;
}

void TFitPropDlg::ShowScale(const AxisPage& axis, const ScaleFields& scale) {
  const bool outer = !std::exchange(refreshing_, true);
  (scale.Manual ? axis.Manual : axis.Automatic)->setChecked(true);
  axis.Min->setEnabled(scale.Manual);
  axis.Max->setEnabled(scale.Manual);
  if (axis.Min->text().toStdString() != scale.Min)
    axis.Min->setText(QString::fromStdString(scale.Min));
  if (axis.Max->text().toStdString() != scale.Max)
    axis.Max->setText(QString::fromStdString(scale.Max));
  if (outer) refreshing_ = false;
}

void TFitPropDlg::Refresh() {
  const bool outer = !std::exchange(refreshing_, true);
  for (int d = 0; d < kDescriptionCount; ++d) {
    rows_[d].Shown->setChecked(model_.Texts[d].Active);
    rows_[d].Edit->setText(QString::fromStdString(model_.Texts[d].Caption));
    ShowFont(rows_[d].Edit, model_.Texts[d]);
  }
  ShowScale(xPage_, model_.XScale);
  ShowScale(yPage_, model_.YScale);
  if (outer) refreshing_ = false;
}

bool TFitPropDlg::Execute() {
  model_.LoadFitProps();
  Refresh();
  if (exec() != QDialog::Accepted) return false;
  model_.StoreFitProps();
  return true;
}

}  // namespace zelk
