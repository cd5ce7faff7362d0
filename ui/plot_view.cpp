#include "ui/plot_view.h"

#include <QAction>
#include <QPainter>

#include "qtpaint/qt_canvas.h"
#include "workspace/workspace.h"

namespace zelk {

PlotView::PlotView(Workspace& ws, std::function<XYPlot()> source, std::string name,
                   QWidget* parent)
    : QWidget(parent), ws_(ws), source_(std::move(source)), name_(std::move(name)) {
  setObjectName(QString::fromStdString(name_));
  setMinimumSize(160, 120);
  setContextMenuPolicy(Qt::ActionsContextMenu);
  auto* exportAction = new QAction("&Export ...", this);
  exportAction->setObjectName("ExportPictureAction");
  connect(exportAction, &QAction::triggered, this, [this] {
    const XYPlot plot = source_();
    const int W = std::max(width(), 400), H = std::max(height(), 300);
    ws_.ExportPicture(name_ + ".png", W, H, [&](Canvas& c) { DrawXYPlot(c, W, H, plot); });
  });
  addAction(exportAction);
}

void PlotView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QtCanvas canvas(painter);
  const QFont own = font();
  canvas.SetFont({own.family().toStdString(), std::max(own.pointSize() - 1, 1), kBlack});
  DrawXYPlot(canvas, width(), height(), source_());
}

}  // namespace zelk
