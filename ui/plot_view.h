#pragma once
// A picture of the fit on the screen: each paint draws the plot its source gives now; the
// pop-up menu exports it as PNG or SVG.

#include <QWidget>
#include <functional>
#include <string>

#include "presentation/xy_plot.h"

namespace zelk {

class Workspace;

class PlotView : public QWidget {
 public:
  // `name` is the file name the export proposes.
  PlotView(Workspace& ws, std::function<XYPlot()> source, std::string name,
           QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Workspace& ws_;
  std::function<XYPlot()> source_;
  std::string name_;
};

}  // namespace zelk
