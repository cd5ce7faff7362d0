#include "ui/data_grid_view.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QTimer>

namespace zelk {

namespace {

QColor TextColour(DataGrid::CellKind kind) {
  switch (kind) {
    case DataGrid::CellKind::Independent:
      return Qt::darkGreen;
    case DataGrid::CellKind::Dependent:
      return Qt::blue;
    case DataGrid::CellKind::Missing:
      return Qt::red;
    default:
      return QApplication::palette().color(QPalette::Text);
  }
}

// Draws cells as the grid's table says: yellow selection, coloured right-aligned text.
// The editor writes into the core on every change; Enter goes to the core's Enter rule.
class DataGridDelegate : public QStyledItemDelegate {
 public:
  DataGridDelegate(DataGrid& grid, DataGridModel& model, DataGridView* view)
      : QStyledItemDelegate(view), grid_(grid), model_(model), view_(view) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const int col = index.column() + 1, row = index.row() + 1;
    const bool selected = option.state & QStyle::State_Selected;
    painter->fillRect(option.rect,
                      selected ? QColor(Qt::yellow) : option.palette.color(QPalette::Base));
    if (option.state & QStyle::State_HasFocus) {
      // The current cell keeps a frame so the keyboard position is never lost.
      painter->setPen(QPen(option.palette.color(QPalette::Highlight), 1));
      painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
    }
    const QString text = QString::fromStdString(grid_.DisplayText(col, row));
    if (text.isEmpty()) return;
    painter->setPen(TextColour(grid_.Kind(col, row)));
    painter->drawText(option.rect.adjusted(2, 0, -3, 0), Qt::AlignRight | Qt::AlignVCenter, text);
  }

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                        const QModelIndex&) const override {
    if (!grid_.OpenEditor()) return nullptr;  // locked while a computation runs
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    editor->setAlignment(Qt::AlignRight);
    connect(editor, &QLineEdit::textEdited, editor,
            [this](const QString& text) { grid_.EditorTextChanged(text.toStdString()); });
    return editor;
  }
  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    auto* line = static_cast<QLineEdit*>(editor);
    if (line->isModified()) return;  // keep what is being typed
    line->setText(QString::fromStdString(grid_.Text(index.column() + 1, index.row() + 1)));
  }
  void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {
    // The core already holds every keystroke; storing happens on leaving or Enter.
  }

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    auto* editor = qobject_cast<QLineEdit*>(object);
    if (editor && event->type() == QEvent::KeyRelease) {
      // The grid's own key rules (Left and Right move a column) hold inside the editor too.
      view_->KeyReleased(static_cast<QKeyEvent*>(event));
      return false;
    }
    if (editor && event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (grid_.EnterKey())
          emit closeEditor(editor, NoHint);
        else
          editor->selectAll();  // refused: the user corrects the text where it stands
        model_.RefreshCells();
        return true;
      }
      if (key == Qt::Key_Escape) {
        // The core holds every keystroke, so it is the core that goes back.
        grid_.EscapeKey();
        emit closeEditor(editor, NoHint);
        model_.RefreshCells();
        return true;
      }
    }
    return QStyledItemDelegate::eventFilter(object, event);
  }

 private:
  DataGrid& grid_;
  DataGridModel& model_;
  DataGridView* view_;
};

// Ctrl+C, Ctrl+X, Ctrl+V and Delete are the Edit menu's shortcuts, acting when pressed; the
// table's own copy or editing never sees them.
bool IsGridCommandKey(const QKeyEvent* event) {
  const auto mods = event->modifiers() & ~Qt::KeypadModifier;
  if (event->key() == Qt::Key_Delete) return mods == Qt::NoModifier;
  return mods == Qt::ControlModifier &&
         (event->key() == Qt::Key_C || event->key() == Qt::Key_X || event->key() == Qt::Key_V);
}

DataGrid::Key CoreKey(int key) {
  switch (key) {
    case Qt::Key_Left:
      return DataGrid::Key::Left;
    case Qt::Key_Right:
      return DataGrid::Key::Right;
    default:
      return DataGrid::Key::Other;
  }
}

}  // namespace

int DataGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : grid_.RowCount() - 1;
}

int DataGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : grid_.ColumnCount() - 1;
}

QVariant DataGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int col = index.column() + 1, row = index.row() + 1;
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromStdString(grid_.DisplayText(col, row));
    case Qt::EditRole:
      return QString::fromStdString(grid_.Text(col, row));
    case Qt::ForegroundRole:
      return TextColour(grid_.Kind(col, row));
    case Qt::TextAlignmentRole:
      return int(Qt::AlignRight | Qt::AlignVCenter);
    default:
      return {};
  }
}

QVariant DataGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role == Qt::TextAlignmentRole)
    return orientation == Qt::Horizontal ? int(Qt::AlignCenter)
                                         : int(Qt::AlignRight | Qt::AlignVCenter);
  if (role != Qt::DisplayRole) return {};
  const std::string text = orientation == Qt::Horizontal ? grid_.DisplayText(section + 1, 0)
                                                         : grid_.DisplayText(0, section + 1);
  return QString::fromStdString(text);
}

Qt::ItemFlags DataGridModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                         : Qt::NoItemFlags;
}

void DataGridModel::ResetLayout() {
  beginResetModel();
  endResetModel();
}

void DataGridModel::RefreshCells() {
  if (rowCount() > 0 && columnCount() > 0)
    emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
  emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

DataGridView::DataGridView(DataGrid& grid, QWidget* parent)
    : QTableView(parent), grid_(grid), model_(new DataGridModel(grid, this)) {
  setObjectName("DataGrid");
  setModel(model_);
  setItemDelegate(new DataGridDelegate(grid, *model_, this));
  verticalHeader()->setDefaultSectionSize(kGridRowHeight);
  verticalHeader()->setMinimumSectionSize(kGridRowHeight);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setFixedWidth(kGridLabelWidth);
  verticalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
  horizontalHeader()->setDefaultSectionSize(72);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                  QAbstractItemView::EditKeyPressed);
}

void DataGridView::Refresh() {
  model_->RefreshCells();
  const QModelIndex core = model_->index(grid_.CurrentRow() - 1, grid_.CurrentColumn() - 1);
  if (!moving_ && core.isValid() && core != currentIndex()) {
    // The core has moved already; the view follows without asking it again.
    reverting_ = true;
    setCurrentIndex(core);
    reverting_ = false;
  }
}

void DataGridView::KeyReleased(const QKeyEvent* event) {
  if (event->isAutoRepeat()) return;
  const auto mods = event->modifiers() & ~Qt::KeypadModifier;
  const bool ctrl = mods & Qt::ControlModifier;
  const bool other = mods & ~Qt::ControlModifier;
  // The clipboard keys and Delete acted when pressed, through the Edit menu (in the cell
  // editor on its own text); their release only marks the data set, as any key does.
  grid_.KeyReleased(CoreKey(event->key()), ctrl, other);
  Refresh();
}

void DataGridView::keyPressEvent(QKeyEvent* event) {
  if (IsGridCommandKey(event)) {
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

void DataGridView::keyReleaseEvent(QKeyEvent* event) {
  KeyReleased(event);
  QTableView::keyReleaseEvent(event);
}

void DataGridView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  if (reverting_ || !current.isValid()) return;
  if (current.column() + 1 == grid_.CurrentColumn() && current.row() + 1 == grid_.CurrentRow())
    return;
  moving_ = true;
  const bool moved = grid_.SelectCell(current.column() + 1, current.row() + 1);
  moving_ = false;
  if (moved) {
    model_->RefreshCells();
    return;
  }
  // The cell left holds no number: go back to it with its editor open.
  const QModelIndex back = model_->index(grid_.CurrentRow() - 1, grid_.CurrentColumn() - 1);
  QTimer::singleShot(0, this, [this, back] {
    reverting_ = true;
    setCurrentIndex(back);
    reverting_ = false;
    edit(back);
  });
}

void DataGridView::selectionChanged(const QItemSelection& selected,
                                    const QItemSelection& deselected) {
  QTableView::selectionChanged(selected, deselected);
  const QModelIndexList indexes = selectionModel()->selectedIndexes();
  if (indexes.isEmpty()) return;
  int left = indexes.first().column(), right = left, top = indexes.first().row(), bottom = top;
  for (const QModelIndex& i : indexes) {
    left = std::min(left, i.column());
    right = std::max(right, i.column());
    top = std::min(top, i.row());
    bottom = std::max(bottom, i.row());
  }
  grid_.SetSelection({left + 1, top + 1, right + 1, bottom + 1});
}

}  // namespace zelk
