#pragma once
// The Covariances page: CovarGrid over the core's CovarianceGrid and the CDPanel line.

#include <QAbstractTableModel>
#include <QLabel>
#include <QTableView>
#include <QWidget>

#include "workspace/workspace.h"

namespace zelk {

class CovarianceGridModel : public QAbstractTableModel {
 public:
  explicit CovarianceGridModel(const Workspace& ws, QObject* parent = nullptr)
      : QAbstractTableModel(parent), ws_(ws) {}
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  void RefreshCells();

 private:
  const Workspace& ws_;
};

class CovariancePage : public QWidget {
 public:
  explicit CovariancePage(const Workspace& ws, QWidget* parent = nullptr);
  QTableView* Grid() const { return grid_; }
  QLabel* DeterminantPanel() const { return panel_; }
  void Refresh();
  // Ctrl+C: the selected cells' drawn texts to the clipboard.
  void CopySelection();

 protected:
  bool eventFilter(QObject* object, QEvent* event) override;

 private:
  const Workspace& ws_;
  CovarianceGridModel* model_;
  QTableView* grid_;
  QLabel* panel_;
};

}  // namespace zelk
