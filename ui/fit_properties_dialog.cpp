#include "ui/fit_properties_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/qt_canvas.h"

namespace zelk {

namespace {

void ShowFont(QLineEdit* edit, const TDescription& d) {
  edit->setFont(QFontFromDescription(d));
  QPalette palette = edit->palette();
  palette.setColor(QPalette::Text, QColorFromTColor(d.Color));
  edit->setPalette(palette);
}

TDescription AsDescription(const CanvasFont& f) {
  TDescription d;
  d.FontName = f.Family;
  d.Size = f.Size;
  d.Bold = f.Bold;
  d.Italic = f.Italic;
  d.Underline = f.Underline;
  d.Color = f.Color;
  return d;
}

}  // namespace

QFont QFontFromDescription(const TDescription& d) {
  QFont font(QString::fromStdString(d.FontName));
  font.setPointSize(std::max(d.Size, 1));
  font.setBold(d.Bold);
  font.setItalic(d.Italic);
  font.setUnderline(d.Underline);
  return font;
}

void StoreQFont(const QFont& font, TDescription& d) {
  d.FontName = font.family().toStdString();
  d.Size = font.pointSize() > 0 ? font.pointSize() : d.Size;
  d.Bold = font.bold();
  d.Italic = font.italic();
  d.Underline = font.underline();
}

TFitPropDlg::TFitPropDlg(FitPropertiesModel& model, QWidget* parent)
    : QDialog(parent), model_(model) {
  setObjectName("FitPropDlg");
  setWindowTitle("Fit Chart Properties");
  setFixedSize(403, 311);
  ChooseFont = [this](const QFont& current) -> std::optional<QFont> {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, current, this);
    if (!ok) return std::nullopt;
    return chosen;
  };
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
    auto* font = new QPushButton("Font ...");
    font->setObjectName(QString(names[d].first) + "Font");
    grid->addWidget(row.Shown, 2 * d, 0, 1, 2);
    grid->addWidget(row.Edit, 2 * d + 1, 0);
    grid->addWidget(font, 2 * d + 1, 1);
    connect(row.Shown, &QCheckBox::toggled, this, [this, d](bool on) {
      if (!refreshing_) model_.Texts[d].Active = on;
    });
    connect(row.Edit, &QLineEdit::textEdited, this,
            [this, d](const QString& text) { model_.Texts[d].Caption = text.toStdString(); });
    connect(font, &QPushButton::clicked, this, [this, d] {
      if (const auto chosen = ChooseFont(QFontFromDescription(model_.Texts[d]))) {
        StoreQFont(*chosen, model_.Texts[d]);
        ShowFont(rows_[d].Edit, model_.Texts[d]);
      }
    });
  }
  grid->setRowStretch(2 * kDescriptionCount, 1);
  return page;
}

QWidget* TFitPropDlg::BuildAxisPage(const char* prefix, AxisPage& axis, ScaleFields& scale,
                                    CanvasFont& labelsFont, bool labelsReadOnly) {
  auto* page = new QWidget;
  auto* grid = new QGridLayout(page);
  axis.Labels = new QLineEdit("Scale Labels");
  axis.Labels->setObjectName(QString("fchp%1Labels").arg(prefix));
  axis.Labels->setReadOnly(labelsReadOnly);
  auto* font = new QPushButton("Font ...");
  font->setObjectName(QString("fchp%1LabelsFont").arg(prefix));
  // The sample's font is only shown: the chart draws scale labels in the caption's font.
  connect(font, &QPushButton::clicked, this, [this, &axis, &labelsFont] {
    TDescription sample = AsDescription(labelsFont);
    if (const auto chosen = ChooseFont(QFontFromDescription(sample))) {
      StoreQFont(*chosen, sample);
      labelsFont = {sample.FontName, sample.Size,   sample.Color,
                    sample.Bold,     sample.Italic, sample.Underline};
      ShowFont(axis.Labels, sample);
    }
  });
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
