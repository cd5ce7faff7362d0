#pragma once
// The Flow page: progress of the searches ("Optimization") and of the F-limit search
// ("F-Test"). What it shows is written by the workspace when a new best value is found.

#include <QWidget>

#include "workspace/workspace.h"

class QLabel;
class QLineEdit;
class QRadioButton;
class QTabWidget;

namespace zelk {
class PlotView;
}

namespace zelk {

class FlowPage : public QWidget {
 public:
  FlowPage(Workspace& ws, QWidget* parent = nullptr);
  void Refresh();
  QTabWidget* SubPages() const { return pages_; }
  QLabel* ObjectiveLabel() const { return objective_; }
  QLabel* TotalLabel() const { return total_; }
  QLabel* SuccessfulLabel() const { return successful_; }
  // The F-Test sub-page's values: 0 Parameter, 1 Limit, 2 Limit Objective, 3 Min, 4 Descent.
  QLabel* FTestLabel(int i) const { return ftest_[i]; }
  void ShowFTest() const;
  // The preferences' LM tolerances, except in a field being edited.
  void ShowLMTolerances();
  // Optimize LM's tolerances: 0 objective, 1 parameters, 2 gradient.
  QLineEdit* LMTolerance(int i) const { return lmTolerances_[i]; }
  QRadioButton* ObjectiveChoice(TObjectiveKind kind) const {
    return choices_[static_cast<int>(kind)];
  }

 private:
  Workspace& ws_;
  QTabWidget* pages_;
  QLabel* objective_;
  QLabel* total_;
  QLabel* successful_;
  QRadioButton* choices_[4];
  QLineEdit* lmTolerances_[3];
  QLabel* ftest_[5];
  PlotView* progress_;
  PlotView* bestStarts_;
  PlotView* profileProgress_;
};

}  // namespace zelk
