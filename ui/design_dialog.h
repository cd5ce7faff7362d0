#pragma once
// TDesignDlg, "Design next point(s)": the range and the number of points of the next
// measurements, validated on every close by the core's dialog model.

#include <QDialog>

#include "base/design_dialog.h"

class QLineEdit;
class QRadioButton;

namespace zelk {

class DesignDialog : public QDialog {
 public:
  explicit DesignDialog(QWidget* parent = nullptr);
  // Shows `model`'s texts, runs modally and writes the edits back; true on OK.
  bool Execute(DesignDialogModel& model);
  QLineEdit* MinEdit() const { return min_; }
  QLineEdit* MaxEdit() const { return max_; }
  QLineEdit* NrEdit() const { return nr_; }

  void done(int result) override;

 private:
  void Store();
  DesignDialogModel* model_ = nullptr;
  QLineEdit* min_;
  QLineEdit* max_;
  QLineEdit* nr_;
  QRadioButton* criteria_[3];
};

}  // namespace zelk
