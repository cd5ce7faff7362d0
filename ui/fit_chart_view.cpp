#include "ui/fit_chart_view.h"

#include <QPainter>

#include "qtpaint/qt_canvas.h"
#include "workspace/workspace.h"

namespace zelk {

FitChartView::FitChartView(Workspace& ws, QWidget* parent) : QWidget(parent), ws_(ws) {
  setObjectName("FitChart");
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);
  setAutoFillBackground(true);
  setContextMenuPolicy(Qt::ActionsContextMenu);
}

void FitChartView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QtCanvas canvas(painter);
  canvas.SetBrush({kWhite, BrushStyle::Solid});
  const QFont own = font();
  canvas.SetFont({own.family().toStdString(), std::max(own.pointSize(), 1), kBlack, own.bold(),
                  own.italic(), own.underline()});
  ws_.Chart().PaintFitChart(canvas, width(), height(), true);
}

}  // namespace zelk
