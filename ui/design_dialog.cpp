#include "ui/design_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace zelk {

DesignDialog::DesignDialog(QWidget* parent)
    : QDialog(parent), min_(new QLineEdit), max_(new QLineEdit), nr_(new QLineEdit) {
  setObjectName("TDesignDlg");
  setWindowTitle("Design next point(s)");
  min_->setObjectName("MinEdit");
  max_->setObjectName("MaxEdit");
  nr_->setObjectName("NrEdit");
  auto* limits = new QGroupBox("Design limits ");
  auto* limitsForm = new QFormLayout(limits);
  limitsForm->addRow("Min:", min_);
  limitsForm->addRow("Max:", max_);
  auto* count = new QFormLayout;
  count->addRow("Number of points to design:", nr_);
  auto* criterion = new QGroupBox("Design criterion");
  criterion->setObjectName("CritGroup");
  auto* radios = new QVBoxLayout(criterion);
  const char* items[] = {"&Volume criterion", "&Shape criterion", "&Correlation criterion"};
  for (int i = 0; i < 3; ++i) {
    criteria_[i] = new QRadioButton(items[i]);
    radios->addWidget(criteria_[i]);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(limits);
  layout->addLayout(count);
  layout->addWidget(criterion);
  layout->addWidget(buttons);
}

bool DesignDialog::Execute(DesignDialogModel& model) {
  model_ = &model;
  min_->setText(QString::fromStdString(model.MinText));
  max_->setText(QString::fromStdString(model.MaxText));
  nr_->setText(QString::fromStdString(model.NrText));
  criteria_[std::clamp(model.Criterion, 0, 2)]->setChecked(true);
  min_->setFocus();
  const bool ok = exec() == QDialog::Accepted;
  model_ = nullptr;
  return ok;
}

void DesignDialog::Store() {
  model_->MinText = min_->text().toStdString();
  model_->MaxText = max_->text().toStdString();
  model_->NrText = nr_->text().toStdString();
  for (int i = 0; i < 3; ++i)
    if (criteria_[i]->isChecked()) model_->Criterion = i;
}

void DesignDialog::done(int result) {
  if (!model_) return QDialog::done(result);
  if (result != QDialog::Accepted) {
    model_->Cancel();
    min_->setText(QString::fromStdString(model_->MinText));
    max_->setText(QString::fromStdString(model_->MaxText));
    nr_->setText(QString::fromStdString(model_->NrText));
  }
  Store();
  const auto [field, message] = model_->Validate();
  if (field != DesignDialogModel::Field::None) {
    QMessageBox::critical(this, windowTitle(), QString::fromStdString(message));
    QLineEdit* edit = field == DesignDialogModel::Field::Min   ? min_
                      : field == DesignDialogModel::Field::Max ? max_
                                                               : nr_;
    edit->setFocus();
    edit->selectAll();
    return;
  }
  QDialog::done(result);
}

}  // namespace zelk
