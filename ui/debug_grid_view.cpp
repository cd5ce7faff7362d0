#include "ui/debug_grid_view.h"

#include <QHeaderView>

#include "workspace/data_grid.h"

namespace zelk {

int DebugGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : DebugGrid::kRows - 1;
}

int DebugGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : DebugGrid::kColumns - 1;
}

QVariant DebugGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (role == Qt::DisplayRole)
    return QString::fromStdString(grid_.Text(index.column() + 1, index.row() + 1));
  if (role == Qt::TextAlignmentRole) return int(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

QVariant DebugGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
  const std::string& text =
      orientation == Qt::Horizontal ? grid_.Text(section + 1, 0) : grid_.Text(0, section + 1);
  return text.empty() ? QVariant(section + 1) : QVariant(QString::fromStdString(text));
}

Qt::ItemFlags DebugGridModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void DebugGridModel::RefreshCells() {
  emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
  emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
  emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
}

DebugGridView::DebugGridView(const DebugGrid& grid, QWidget* parent)
    : QTableView(parent), model_(new DebugGridModel(grid, this)) {
  setObjectName("gr");
  setModel(model_);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  verticalHeader()->setDefaultSectionSize(kGridRowHeight);
  verticalHeader()->setMinimumSectionSize(kGridRowHeight);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  horizontalHeader()->setDefaultSectionSize(72);
}

}  // namespace zelk
