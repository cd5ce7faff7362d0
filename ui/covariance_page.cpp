#include "ui/covariance_page.h"

#include <QBrush>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "workspace/data_grid.h"

namespace zelk {

// Only the fitted parameters' rows and columns.
int CovarianceGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : std::clamp(ws_.Parameters.Count, 1, ws_.CovarGrid.Size());
}

int CovarianceGridModel::columnCount(const QModelIndex& parent) const { return rowCount(parent); }

QVariant CovarianceGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int col = index.column() + 1, row = index.row() + 1;
  const CovarianceGrid& grid = ws_.CovarGrid;
  switch (role) {
    case Qt::DisplayRole:
      return grid.TextDrawn(col, ws_.Parameters) ? QString::fromStdString(grid.Text(col, row))
                                                 : QString();
    case Qt::TextAlignmentRole:
      return int(Qt::AlignCenter);
    case Qt::ForegroundRole:
      return QBrush(grid.Emphasized(col, row, ws_.Prefs.CovThreshold) ? Qt::red : Qt::black);
    case Qt::BackgroundRole: {
      if (!grid.TextDrawn(col, ws_.Parameters)) return {};
      const TColor tint = grid.Tint(col, row);
      return QBrush(QColor(tint & 0xFF, (tint >> 8) & 0xFF, (tint >> 16) & 0xFF));
    }
    default:
      return {};
  }
}

QVariant CovarianceGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role == Qt::DisplayRole) {
    const auto& names = ws_.Names.Parameters;
    return section < static_cast<int>(names.size()) ? QString::fromStdString(names[section])
                                                     : QString("%1.").arg(section + 1);
  }
  if (role == Qt::TextAlignmentRole)
    return int(orientation == Qt::Horizontal ? Qt::AlignCenter : Qt::AlignRight | Qt::AlignVCenter);
  return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags CovarianceGridModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void CovarianceGridModel::RefreshCells() {
  // The parameter count may have changed.
  beginResetModel();
  endResetModel();
}

CovariancePage::CovariancePage(const Workspace& ws, QWidget* parent)
    : QWidget(parent),
      ws_(ws),
      model_(new CovarianceGridModel(ws, this)),
      grid_(new QTableView),
      panel_(new QLabel) {
  setObjectName("CovarPage");
  grid_->setObjectName("CovarGrid");
  grid_->setModel(model_);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->verticalHeader()->setDefaultSectionSize(kGridRowHeight);
  grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid_->verticalHeader()->setMinimumWidth(30);
  grid_->horizontalHeader()->setDefaultSectionSize(48);
  panel_->setObjectName("CDPanel");
  panel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  QPalette blue = panel_->palette();
  blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
  panel_->setPalette(blue);
  grid_->installEventFilter(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(grid_, 1);
  layout->addWidget(panel_);
}

bool CovariancePage::eventFilter(QObject* object, QEvent* event) {
  // Ctrl+C copies the selection here rather than triggering the Edit menu's Copy.
  const bool shortcut = event->type() == QEvent::ShortcutOverride;
  if (object == grid_ && (shortcut || event->type() == QEvent::KeyPress) &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
    event->accept();
    if (!shortcut) CopySelection();
    return true;
  }
  return QWidget::eventFilter(object, event);
}

void CovariancePage::CopySelection() {
  const QModelIndexList cells = grid_->selectionModel()->selectedIndexes();
  if (cells.isEmpty()) return;
  GridRect rect{ws_.CovarGrid.Size(), ws_.CovarGrid.Size(), 1, 1};
  for (const QModelIndex& cell : cells) {
    rect.Left = std::min(rect.Left, cell.column() + 1);
    rect.Right = std::max(rect.Right, cell.column() + 1);
    rect.Top = std::min(rect.Top, cell.row() + 1);
    rect.Bottom = std::max(rect.Bottom, cell.row() + 1);
  }
  QGuiApplication::clipboard()->setText(
      QString::fromStdString(ws_.CovarGrid.SelectionText(rect, ws_.Parameters)));
}

void CovariancePage::Refresh() {
  model_->RefreshCells();
  panel_->setText(QString::fromStdString(ws_.CovarGrid.DeterminantLine()));
}

}  // namespace zelk
