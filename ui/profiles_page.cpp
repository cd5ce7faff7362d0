#include "ui/profiles_page.h"

#include <QGridLayout>
#include <QScrollArea>
#include <QVBoxLayout>

#include "ui/plot_view.h"
#include "workspace/fit_plots.h"
#include "workspace/workspace.h"

namespace zelk {

ProfilesPage::ProfilesPage(Workspace& ws, QWidget* parent)
    : QWidget(parent), ws_(ws), grid_(new QWidget) {
  setObjectName("ProfilesPage");
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  scroll->setWidget(grid_);
  new QGridLayout(grid_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(scroll);
  Refresh();
}

void ProfilesPage::Refresh() {
  const int count = ws_.Parameters.Count;
  auto* grid = static_cast<QGridLayout*>(grid_->layout());
  while (static_cast<int>(plots_.size()) < count) {
    const int k = static_cast<int>(plots_.size()) + 1;
    auto* plot = new PlotView(
        ws_,
        [this, k] {
          return ProfilePlot(ws_.Estimation().Result, ws_.Parameters, k,
                             LimitThreshold(ws_.Estimation()), ws_.Names);
        },
        "profile" + std::to_string(k), grid_);
    plot->setMinimumSize(260, 200);
    grid->addWidget(plot, (k - 1) / 2, (k - 1) % 2);
    plots_.push_back(plot);
  }
  for (std::size_t i = 0; i < plots_.size(); ++i) {
    plots_[i]->setVisible(static_cast<int>(i) < count);
    plots_[i]->update();
  }
}

}  // namespace zelk
