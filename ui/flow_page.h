#pragma once
// The Flow page: progress of the searches ("Optimization") and of the F-limit search
// ("F-Test"). What it shows is written by the workspace when a new best value is found.

#include <QWidget>

#include "workspace/workspace.h"

class QLabel;
class QRadioButton;
class QTabWidget;

namespace zelk {

class FlowPage : public QWidget {
 public:
  FlowPage(Workspace& ws, QWidget* parent = nullptr);
  void Refresh();
  QTabWidget* SubPages() const { return pages_; }
  QLabel* ObjectiveLabel() const { return objective_; }
  QLabel* TotalLabel() const { return total_; }
  QLabel* SuccessfulLabel() const { return successful_; }
  QRadioButton* ObjectiveChoice(TObjectiveKind kind) const {
    return choices_[static_cast<int>(kind)];
  }

 private:
  Workspace& ws_;
  QTabWidget* pages_;
  QLabel* objective_;
  QLabel* total_;
  QLabel* successful_;
  QRadioButton* choices_[3];
};

}  // namespace zelk
