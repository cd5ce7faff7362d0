#pragma once
// The Dimension page: six edit fields with up-down buttons under their headings. Typing
// and clicking go to the workspace, which validates; Refresh shows what it holds.

#include <QWidget>
#include <array>

#include "workspace/workspace.h"

class QLineEdit;

namespace zelk {

class DimensionPage : public QWidget {
 public:
  DimensionPage(Workspace& ws, QWidget* parent = nullptr);
  void Refresh();
  QLineEdit* Field(Dimension d) const { return fields_[static_cast<int>(d)]; }

 protected:
  bool eventFilter(QObject* object, QEvent* event) override;

 private:
  Workspace& ws_;
  std::array<QLineEdit*, kDimensionCount> fields_{};
};

}  // namespace zelk
