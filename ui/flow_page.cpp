#include "ui/flow_page.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace zelk {

FlowPage::FlowPage(Workspace& ws, QWidget* parent)
    : QWidget(parent), ws_(ws), pages_(new QTabWidget(this)) {
  setObjectName("FlowPage");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(pages_);

  auto* optimization = new QWidget;
  optimization->setObjectName("OptFlowPage");
  auto* column = new QVBoxLayout(optimization);
  auto* form = new QFormLayout;
  form->setRowWrapPolicy(QFormLayout::WrapLongRows);  // the left pane is narrow
  objective_ = new QLabel;
  objective_->setObjectName("oflwObjF");
  objective_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  form->addRow("Objective function:", objective_);
  form->addRow(new QLabel("Model Calls:"));
  total_ = new QLabel;
  total_->setObjectName("oflwTotalCalls");
  successful_ = new QLabel;
  successful_->setObjectName("oflwSuccCalls");
  form->addRow("Total:", total_);
  form->addRow("Successful:", successful_);
  column->addLayout(form);

  auto* group = new QGroupBox("Objective Function Type");
  group->setObjectName("RadioGroup1");
  auto* radios = new QVBoxLayout(group);
  auto* buttons = new QButtonGroup(this);
  const char* items[] = {"Sum of Squares", "Box-Draper", "Weighted SS"};
  for (int i = 0; i < 3; ++i) {
    choices_[i] = new QRadioButton(items[i]);
    buttons->addButton(choices_[i], i);
    radios->addWidget(choices_[i]);
  }
  connect(buttons, &QButtonGroup::idClicked, this,
          [this](int id) { ws_.Estimation().SetObjectiveFunc(static_cast<TObjectiveKind>(id)); });
  column->addWidget(group);
  column->addStretch(1);
  pages_->addTab(optimization, "Optimization");

  auto* ftest = new QWidget;
  ftest->setObjectName("FTestFlowPage");
  auto* ftestForm = new QFormLayout(ftest);
  for (const char* caption : {"Computation Focus:", "Parameter:", "Limit:", "Limit Objective:",
                              "Current Objective:", "Min:", "Descent:"})
    ftestForm->addRow(caption, new QLabel);
  pages_->addTab(ftest, "F-Test");
  Refresh();
}

void FlowPage::Refresh() {
  objective_->setText(QString::fromStdString(ws_.Estimation().FlowObjectiveText));
  total_->setText(QString::fromStdString(ws_.Estimation().FlowTotalText));
  successful_->setText(QString::fromStdString(ws_.Estimation().FlowSuccessfulText));
  choices_[static_cast<int>(ws_.Estimation().ObjectiveFunc)]->setChecked(true);
}

}  // namespace zelk
