#include "ui/dimension_page.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace zelk {

namespace {

struct FieldSpec {
  Dimension dimension;
  const char* heading;  // group heading above the field, or nullptr
  const char* label;
  const char* spinName;
};

constexpr FieldSpec kFields[] = {
    {Dimension::Indep, "Variables:", "Independent", "IndVarSpin"},
    {Dimension::Dep, nullptr, "Dependent", "DepVarSpin"},
    {Dimension::Events, "Experiment:", "Events", "EventsSpin"},
    {Dimension::DifEq, "Model Equations:", "Differential", "DifEqSpin"},
    {Dimension::AlgEq, nullptr, "Algebraic", "AlgEqSpin"},
    {Dimension::Param, "Model Properties:", "Parameters", "ParSpin"},
};

}  // namespace

DimensionPage::DimensionPage(Workspace& ws, QWidget* parent) : QWidget(parent), ws_(ws) {
  auto* grid = new QGridLayout(this);
  grid->setColumnStretch(3, 1);
  int row = 0;
  for (const FieldSpec& spec : kFields) {
    if (spec.heading) {
      auto* heading = new QLabel(QString::fromLatin1(spec.heading), this);
      QFont bold = heading->font();
      bold.setBold(true);
      heading->setFont(bold);
      grid->addWidget(heading, row++, 0, 1, 3);
    }
    const Dimension d = spec.dimension;
    auto* label = new QLabel(QString::fromLatin1(spec.label), this);
    auto* field = new QLineEdit(this);
    field->setObjectName(QString::fromLatin1(ws.Dimensions().Control(d).Name));
    field->setMaximumWidth(60);
    field->installEventFilter(this);
    label->setBuddy(field);
    connect(field, &QLineEdit::textEdited, this,
            [this, d](const QString& text) { ws_.Dimensions().SetText(d, text.toStdString()); });
    auto* buttons = new QWidget(this);
    buttons->setObjectName(QString::fromLatin1(spec.spinName));
    auto* stack = new QVBoxLayout(buttons);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    for (int delta : {+1, -1}) {
      auto* button = new QToolButton(buttons);
      button->setArrowType(delta > 0 ? Qt::UpArrow : Qt::DownArrow);
      button->setFixedSize(16, 11);
      button->setAutoRepeat(true);
      button->setFocusPolicy(Qt::NoFocus);
      connect(button, &QToolButton::clicked, this,
              [this, d, delta] { ws_.Dimensions().Click(d, delta); });
      stack->addWidget(button);
    }
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row, 1);
    grid->addWidget(buttons, row, 2);
    fields_[static_cast<int>(d)] = field;
    ++row;
  }
  grid->setRowStretch(row, 1);
  Refresh();
}

void DimensionPage::Refresh() {
  for (int i = 0; i < kDimensionCount; ++i) {
    const QString text =
        QString::fromStdString(ws_.Dimensions().Control(static_cast<Dimension>(i)).Text);
    if (fields_[i]->text() != text) fields_[i]->setText(text);
  }
}

bool DimensionPage::eventFilter(QObject* object, QEvent* event) {
  // Up and Down in a field work like its up-down buttons.
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    for (int i = 0; i < kDimensionCount; ++i) {
      if (object != fields_[i] || (key != Qt::Key_Up && key != Qt::Key_Down)) continue;
      ws_.Dimensions().Click(static_cast<Dimension>(i), key == Qt::Key_Up ? +1 : -1);
      return true;
    }
  }
  return QWidget::eventFilter(object, event);
}

}  // namespace zelk
