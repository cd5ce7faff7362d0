#include "ui/flow_page.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "base/format.h"
#include "estimation/fit.h"
#include "ui/plot_view.h"
#include "workspace/fit_plots.h"

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
  const char* items[] = {"Sum of Squares", "Box-Draper", "Weighted SS", "Likelihood"};
  for (int i = 0; i < 4; ++i) {
    choices_[i] = new QRadioButton(items[i]);
    buttons->addButton(choices_[i], i);
    radios->addWidget(choices_[i]);
  }
  connect(buttons, &QButtonGroup::idClicked, this,
          [this](int id) { ws_.Estimation().SetObjectiveFunc(static_cast<TObjectiveKind>(id)); });
  column->addWidget(group);

  // Editing ends with Enter or by leaving the field; a refused text goes back to the value.
  auto* lm = new QGroupBox("LM Tolerances");
  lm->setObjectName("LMTolerances");
  auto* lmForm = new QFormLayout(lm);
  const char* lmNames[] = {"oflwLMFTol", "oflwLMXTol", "oflwLMGTol"};
  const char* lmCaptions[] = {"Objective:", "Parameters:", "Gradient:"};
  for (int i = 0; i < 3; ++i) {
    lmTolerances_[i] = new QLineEdit;
    lmTolerances_[i]->setObjectName(lmNames[i]);
    lmForm->addRow(lmCaptions[i], lmTolerances_[i]);
    connect(lmTolerances_[i], &QLineEdit::editingFinished, this, [this, i] {
      if (!lmTolerances_[i]->isModified()) return;
      lmTolerances_[i]->setModified(false);
      ws_.SetLMTolerance(i, lmTolerances_[i]->text().toStdString());
      ShowLMTolerances();
    });
  }
  column->addWidget(lm);
  ShowLMTolerances();
  progress_ = new PlotView(
      ws_,
      [this] {
        const RunController& e = ws_.Estimation();
        if (!e.Result.Starts.empty()) return WaterfallPlot(e.Result);
        return ProgressPlot(e.Result, ws_.Problem().Stats.Solutions,
                            IsOptimizeSearch(ws_.Estimation().OperationMode), e.BestObjective);
      },
      "progress");
  column->addWidget(progress_, 1);
  // Beside the waterfall after a multi-start: where the best starts ended within the bounds.
  bestStarts_ = new PlotView(
      ws_, [this] { return BestStartsPlot(ws_.Estimation().Result, ws_.Parameters); }, "bestStarts");
  bestStarts_->setVisible(false);
  column->addWidget(bestStarts_, 1);
  pages_->addTab(optimization, "Optimization");

  auto* ftest = new QWidget;
  ftest->setObjectName("FTestFlowPage");
  auto* ftestColumn = new QVBoxLayout(ftest);
  const char* names[] = {"fflwPIndex", "fflwLimit", "fflwLimObj", "fflwMinObj", "fflwDescent"};
  for (int i = 0; i < 5; ++i) {
    ftest_[i] = new QLabel;
    ftest_[i]->setObjectName(names[i]);
    ftest_[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
  }
  auto* focus = new QGroupBox("Computation Focus:");
  auto* focusForm = new QFormLayout(focus);
  focusForm->addRow("Parameter:", ftest_[0]);
  focusForm->addRow("Limit:", ftest_[1]);
  ftestColumn->addWidget(focus);
  auto* limitForm = new QFormLayout;
  limitForm->setRowWrapPolicy(QFormLayout::WrapLongRows);
  limitForm->addRow("Limit Objective:", ftest_[2]);
  ftestColumn->addLayout(limitForm);
  auto* current = new QGroupBox("Current Objective:");
  auto* currentForm = new QFormLayout(current);
  currentForm->setRowWrapPolicy(QFormLayout::WrapLongRows);
  currentForm->addRow("Min:", ftest_[3]);
  currentForm->addRow("Descent:", ftest_[4]);
  ftestColumn->addWidget(current);
  profileProgress_ = new PlotView(
      ws_,
      [this] {
        return ProfileProgressPlot(ws_.Estimation().Result, LimitThreshold(ws_.Estimation()));
      },
      "profile-minimum");
  ftestColumn->addWidget(profileProgress_, 1);
  pages_->addTab(ftest, "F-Test");
  Refresh();
}

void FlowPage::Refresh() {
  const FlowTexts& t = ws_.Estimation().Flow();
  objective_->setText(QString::fromStdString(t.Objective));
  total_->setText(QString::fromStdString(t.Total));
  successful_->setText(QString::fromStdString(t.Successful));
  choices_[static_cast<int>(ws_.Problem().ObjectiveKind)]->setChecked(true);
  ShowLMTolerances();
  const std::string* texts[] = {&t.Parameter, &t.Limit, &t.LimitObjective, &t.Minimum, &t.Descent};
  for (int i = 0; i < 5; ++i) ftest_[i]->setText(QString::fromStdString(*texts[i]));
  progress_->update();
  bestStarts_->setVisible(!ws_.Estimation().Result.Starts.empty());
  bestStarts_->update();
  profileProgress_->update();
}

void FlowPage::ShowLMTolerances() {
  const TZelkPrefs& p = ws_.Prefs;
  const double values[] = {p.LMFunctionTolerance, p.LMParameterTolerance, p.LMGradientTolerance};
  for (int i = 0; i < 3; ++i)
    if (!lmTolerances_[i]->hasFocus() || !lmTolerances_[i]->isModified())
      lmTolerances_[i]->setText(QString::fromStdString(FormatGeneral(values[i], 6)));
}

void FlowPage::ShowFTest() const { pages_->setCurrentIndex(1); }

}  // namespace zelk
