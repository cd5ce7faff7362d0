#pragma once
// The Autocorelation page: ACGrid with the verdicts of the last test above, and below it the
// scrolled ACGraph with the residual bars of every response.

#include <QTableWidget>
#include <QWidget>
#include <vector>

#include "workspace/workspace.h"

class QScrollArea;

namespace zelk {
class PlotView;
}

namespace zelk {

class ResidualGraph : public QWidget {
 public:
  explicit ResidualGraph(Workspace& ws, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Workspace& ws_;
};

class ResidualPage : public QWidget {
 public:
  explicit ResidualPage(Workspace& ws, QWidget* parent = nullptr);
  QTableWidget* Grid() const { return grid_; }
  ResidualGraph* Graph() const { return graph_; }
  // The grid's texts and the graph's height from the last test.
  void Refresh();

 private:
  Workspace& ws_;
  QTableWidget* grid_;
  QScrollArea* scroll_;
  ResidualGraph* graph_;
  QWidget* plots_;
  std::vector<PlotView*> residualPlots_;
};

}  // namespace zelk
