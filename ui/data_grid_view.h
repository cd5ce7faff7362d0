#pragma once
// The data grid widget: a table view over the core DataGrid. Row and column 0 of the core
// grid are the view's headers. Editing, moves and Enter are forwarded to the core, which
// decides; the view only draws what the core holds.

#include <QAbstractTableModel>
#include <QKeyEvent>
#include <QStyledItemDelegate>
#include <QTableView>

#include "workspace/data_grid.h"

namespace zelk {

class DataGridModel : public QAbstractTableModel {
 public:
  explicit DataGridModel(DataGrid& grid, QObject* parent = nullptr)
      : QAbstractTableModel(parent), grid_(grid) {}
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // The core's column count or headings changed.
  void ResetLayout();
  // Cell texts changed.
  void RefreshCells();

 private:
  DataGrid& grid_;
};

class DataGridView : public QTableView {
 public:
  explicit DataGridView(DataGrid& grid, QWidget* parent = nullptr);
  DataGridModel* GridModel() const { return model_; }
  DataGrid& Grid() const { return grid_; }
  // Cell texts changed in the core; its current cell may have moved too.
  void Refresh();
  // A key released in the grid or, forwarded, in its cell editor.
  void KeyReleased(const QKeyEvent* event);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

 private:
  DataGrid& grid_;
  DataGridModel* model_;
  bool reverting_ = false;
  bool moving_ = false;  // the view's own move is being checked by the core
};

}  // namespace zelk
