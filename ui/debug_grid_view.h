#pragma once
// The Debug page's grid: a read-only table over the core DebugGrid. Row 0 and column 0 of
// the core grid are the view's headers, so the view has 69 columns and 500 rows of cells.

#include <QAbstractTableModel>
#include <QTableView>

#include "presentation/debug_grid.h"

namespace zelk {

class DebugGridModel : public QAbstractTableModel {
 public:
  explicit DebugGridModel(const DebugGrid& grid, QObject* parent = nullptr)
      : QAbstractTableModel(parent), grid_(grid) {}
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  // The core's heading texts; where they are empty, the row or column number.
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // The core's texts changed.
  void RefreshCells();

 private:
  const DebugGrid& grid_;
};

class DebugGridView : public QTableView {
 public:
  explicit DebugGridView(const DebugGrid& grid, QWidget* parent = nullptr);
  DebugGridModel* GridModel() const { return model_; }
  void Refresh() { model_->RefreshCells(); }

 private:
  DebugGridModel* model_;
};

}  // namespace zelk
