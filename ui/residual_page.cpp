#include "ui/residual_page.h"

#include <QHeaderView>
#include <QPainter>
#include <QPointer>
#include <QScrollArea>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include "presentation/residual_graph.h"
#include "ui/plot_view.h"
#include "qtpaint/qt_canvas.h"
#include "workspace/fit_plots.h"

namespace zelk {

ResidualGraph::ResidualGraph(Workspace& ws, QWidget* parent) : QWidget(parent), ws_(ws) {
  setObjectName("ACGraph");
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);
  setAutoFillBackground(true);
}

void ResidualGraph::paintEvent(QPaintEvent*) {
  bool painted = true;
  {
    QPainter painter(this);
    QtCanvas canvas(painter);
    painted = ws_.PaintResidualGraph(canvas, width());
  }
  if (!painted) {
    // Told once the paint is over: a box raised inside it would be painted over.
    QPointer<ResidualGraph> self(this);
    QTimer::singleShot(0, this, [self] {
      if (self) self->ws_.ReportResidualPaintFailure();
    });
  }
}

ResidualPage::ResidualPage(Workspace& ws, QWidget* parent)
    : QWidget(parent),
      ws_(ws),
      grid_(new QTableWidget(1, kResidualGridColumns)),
      scroll_(new QScrollArea),
      graph_(new ResidualGraph(ws)) {
  setObjectName("ResidPage");
  grid_->setObjectName("ACGrid");
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->horizontalHeader()->hide();
  grid_->verticalHeader()->hide();
  const int widths[kResidualGridColumns] = {50, 60, 70, 70, 150};  // the headers in full
  for (int c = 0; c < kResidualGridColumns; ++c) grid_->setColumnWidth(c, widths[c]);
  scroll_->setObjectName("ACGraphScroll");
  scroll_->setWidget(graph_);
  scroll_->setWidgetResizable(true);  // full width; the height is the graph's own
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Beside the bars, each response's residuals against the independent variable.
  plots_ = new QWidget;
  plots_->setObjectName("ResidualPlots");
  new QVBoxLayout(plots_);
  auto* plotScroll = new QScrollArea;
  plotScroll->setWidget(plots_);
  plotScroll->setWidgetResizable(true);
  auto* pictures = new QSplitter(Qt::Horizontal);
  pictures->addWidget(scroll_);
  pictures->addWidget(plotScroll);
  pictures->setStretchFactor(0, 1);
  pictures->setStretchFactor(1, 1);
  pictures->setSizes({400, 400});
  auto* split = new QSplitter(Qt::Vertical);
  split->addWidget(grid_);
  split->addWidget(pictures);
  split->setStretchFactor(1, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(split);
  graph_->setFixedHeight(0);
}

void ResidualPage::Refresh() {
  const auto& rows = ws_.ResidualGrid;
  grid_->setRowCount(std::max<int>(1, static_cast<int>(rows.size())));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r)
    for (int c = 0; c < kResidualGridColumns; ++c) {
      auto* cell = new QTableWidgetItem(QString::fromStdString(rows[r][c]));
      if (r == 0) {
        QFont bold = cell->font();
        bold.setBold(true);
        cell->setFont(bold);
        cell->setBackground(palette().button());
      }
      grid_->setItem(r, c, cell);
    }
  const int responses = rows.empty() ? 0 : static_cast<int>(rows.size()) - 1;
  graph_->setFixedHeight(ResidualGraphHeight(responses));
  graph_->update();
  while (static_cast<int>(residualPlots_.size()) < responses) {
    const int r = static_cast<int>(residualPlots_.size()) + 1;
    auto* plot = new PlotView(
        ws_, [this, r] { return ResidualPlot(ws_.MeasuredData, r, ws_.Names); },
        "residuals" + std::to_string(r), plots_);
    plot->setMinimumHeight(ResidualGraphHeight(1));
    plots_->layout()->addWidget(plot);
    residualPlots_.push_back(plot);
  }
  for (std::size_t i = 0; i < residualPlots_.size(); ++i) {
    residualPlots_[i]->setVisible(static_cast<int>(i) < responses);
    residualPlots_[i]->update();
  }
}

}  // namespace zelk
