#pragma once
// The "Profiles" page: one small plot per parameter of the probes the F-limit searches
// solved, with the threshold and the limits found.

#include <QWidget>
#include <vector>

namespace zelk {

class PlotView;
class Workspace;

class ProfilesPage : public QWidget {
 public:
  explicit ProfilesPage(Workspace& ws, QWidget* parent = nullptr);
  // A plot per parameter of the table, drawn anew.
  void Refresh();
  const std::vector<PlotView*>& Plots() const { return plots_; }

 private:
  Workspace& ws_;
  QWidget* grid_;
  std::vector<PlotView*> plots_;
};

}  // namespace zelk
