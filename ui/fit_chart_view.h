#pragma once
// The paint box of the "Fit Chart" page: each paint draws the workspace's chart on the
// widget, with the screen overlays.

#include <QWidget>

namespace zelk {

class Workspace;

class FitChartView : public QWidget {
 public:
  explicit FitChartView(Workspace& ws, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Workspace& ws_;
};

}  // namespace zelk
