#include "ui/parameter_grid_view.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTimer>

namespace zelk {

namespace {

constexpr int kLeftMargin = 2;
constexpr int kRightMargin = 3;

QColor BackgroundColour(CellBackground background) {
  switch (background) {
    case CellBackground::ButtonFace:
      return QApplication::palette().color(QPalette::Button);
    case CellBackground::White:
      return Qt::white;
    case CellBackground::Yellow:
      return Qt::yellow;
    case CellBackground::Window:
      return QApplication::palette().color(QPalette::Base);
  }
  return {};
}

QColor TextColour(CellTextColour colour) {
  switch (colour) {
    case CellTextColour::Black:
      return Qt::black;
    case CellTextColour::Grey:
      return QColor(128, 128, 128);
    case CellTextColour::Blue:
      return QColor(0, 0, 255);
    case CellTextColour::Red:
      return QColor(255, 0, 0);
  }
  return {};
}

Qt::Alignment TextAlignment(CellAlignment alignment) {
  switch (alignment) {
    case CellAlignment::Left:
      return Qt::AlignLeft | Qt::AlignVCenter;
    case CellAlignment::Right:
      return Qt::AlignRight | Qt::AlignVCenter;
    case CellAlignment::Centre:
      return Qt::AlignHCenter | Qt::AlignVCenter;
  }
  return {};
}

GridKey ToGridKey(int key) {
  switch (key) {
    case Qt::Key_Left:
      return GridKey::Left;
    case Qt::Key_Right:
      return GridKey::Right;
    case Qt::Key_C:
      return GridKey::C;
    default:
      return GridKey::Other;
  }
}

unsigned ToModifiers(Qt::KeyboardModifiers modifiers) {
  unsigned m = kNoModifiers;
  if (modifiers & Qt::ShiftModifier) m |= kShiftKey;
  if (modifiers & Qt::ControlModifier) m |= kCtrlKey;
  if (modifiers & (Qt::AltModifier | Qt::MetaModifier)) m |= kAltKey;
  return m;
}

}  // namespace

// Paints cells by the core's table and runs the in-place editor, which writes every change into
// the core; Enter, Escape and the core's keys are decided there.
class ParameterGridDelegate : public QStyledItemDelegate {
 public:
  explicit ParameterGridDelegate(ParameterGridView& view)
      : QStyledItemDelegate(&view), view_(view), grid_(view.Grid()) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const int col = index.column() + 1, row = index.row() + 1;
    const CellStyle style = grid_.Style(col, row);
    painter->fillRect(option.rect, BackgroundColour(style.Background));
    if (option.state & QStyle::State_HasFocus) {
      // The current cell keeps a frame so the keyboard position is never lost.
      painter->setPen(QPen(option.palette.color(QPalette::Highlight), 1));
      painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
    }
    const QString text = QString::fromStdString(grid_.DisplayText(col, row));
    if (text.isEmpty()) return;
    painter->setFont(option.font);
    painter->setPen(TextColour(style.TextColour));
    painter->drawText(option.rect.adjusted(kLeftMargin, 0, -kRightMargin, 0),
                      TextAlignment(style.Alignment), text);
  }

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                        const QModelIndex& index) const override {
    if (index.column() + 1 != grid_.CurrentColumn() || index.row() + 1 != grid_.CurrentRow())
      return nullptr;
    if (!view_.Forward([this] { return grid_.OpenEditor(); })) return nullptr;
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    connect(editor, &QLineEdit::textEdited, editor, [this](const QString& text) {
      view_.Forward([&] { grid_.EditorTextChanged(text.toStdString()); });
    });
    editor_ = editor;
    return editor;
  }
  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    auto* line = static_cast<QLineEdit*>(editor);
    if (line->isModified()) return;  // keep what is being typed
    line->setText(QString::fromStdString(grid_.Text(index.column() + 1, index.row() + 1)));
  }
  void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {
    // The core already holds every keystroke and stores on its own occasions.
  }

  void CloseOpenEditor() {
    if (editor_) emit closeEditor(editor_, NoHint);
  }

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    auto* editor = qobject_cast<QLineEdit*>(object);
    if (!editor) return QStyledItemDelegate::eventFilter(object, event);
    if (event->type() == QEvent::KeyPress) {
      auto* keyEvent = static_cast<QKeyEvent*>(event);
      const int key = keyEvent->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
        const bool closes = view_.Forward([&] {
          if (key != Qt::Key_Escape) return grid_.EnterKey();
          grid_.EscapeKey();
          return true;
        });
        if (closes)
          emit closeEditor(editor, NoHint);
        else
          editor->selectAll();  // refused: the user corrects the text where it stands
        view_.FollowCore();
        return true;
      }
      if (view_.Forward(
              [&] { return grid_.KeyDown(ToGridKey(key), ToModifiers(keyEvent->modifiers())); })) {
        view_.FollowCore();
        return true;
      }
    } else if (event->type() == QEvent::FocusOut) {
      view_.FocusLeaving(static_cast<QFocusEvent*>(event)->reason());
    }
    return QStyledItemDelegate::eventFilter(object, event);
  }

 private:
  ParameterGridView& view_;
  ParameterGrid& grid_;
  mutable QPointer<QLineEdit> editor_;
};

int ParameterGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int ParameterGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : grid_.ColumnCount() - 1;
}

QVariant ParameterGridModel::CellData(int col, int row, int role) const {
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromStdString(grid_.DisplayText(col, row));
    case Qt::ForegroundRole:
      return TextColour(grid_.Style(col, row).TextColour);
    case Qt::BackgroundRole:
      return BackgroundColour(grid_.Style(col, row).Background);
    case Qt::TextAlignmentRole:
      return int(TextAlignment(grid_.Style(col, row).Alignment));
    default:
      return {};
  }
}

QVariant ParameterGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int col = index.column() + 1, row = index.row() + 1;
  if (role == Qt::EditRole) return QString::fromStdString(grid_.Text(col, row));
  return CellData(col, row, role);
}

QVariant ParameterGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  const int col = orientation == Qt::Horizontal ? section + 1 : 0;
  const int row = orientation == Qt::Horizontal ? 0 : section + 1;
  if (col >= grid_.ColumnCount() || row >= grid_.RowCount()) return {};
  if (role == Qt::ToolTipRole) {
    const std::string tip = row == 0 ? grid_.HeadingTip(col) : std::string();
    return tip.empty() ? QVariant() : QString::fromStdString(tip);
  }
  return CellData(col, row, role);
}

Qt::ItemFlags ParameterGridModel::flags(const QModelIndex& index) const {
  // The editor itself asks the core whether the cell may be edited now.
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                         : Qt::NoItemFlags;
}

void ParameterGridModel::RefreshCells() {
  if (rows_ != grid_.RowCount() - 1) {
    beginResetModel();
    rows_ = grid_.RowCount() - 1;
    endResetModel();
  }
  emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
  emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
  emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
}

ParameterGridView::ParameterGridView(ParameterGrid& grid, QWidget* parent)
    : QTableView(parent),
      grid_(grid),
      model_(new ParameterGridModel(grid, this)),
      delegate_(new ParameterGridDelegate(*this)) {
  setObjectName(grid.Kind() == ParamGridKind::ParamGrid ? "ParamGrid" : "PDGrid");
  QFont verdana("Verdana");
  verdana.setPixelSize(12);
  setFont(verdana);
  setModel(model_);
  setItemDelegate(delegate_);
  verticalHeader()->setMinimumSectionSize(kParamRowHeight);
  verticalHeader()->setDefaultSectionSize(kParamRowHeight);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setFixedWidth(kParamLabelWidth);
  verticalHeader()->setSectionsClickable(false);  // a label click toggles Fixed, not a row
  verticalHeader()->viewport()->installEventFilter(this);
  horizontalHeader()->setMinimumSectionSize(0);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  horizontalHeader()->setSectionsClickable(false);
  setCornerButtonEnabled(false);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                  QAbstractItemView::EditKeyPressed);
  following_ = true;
  setCurrentIndex(model_->index(grid.CurrentRow() - 1, grid.CurrentColumn() - 1));
  following_ = false;
}

void ParameterGridView::ShareColumns() {
  // The label column is the vertical header, so the grid's width is it plus the viewport.
  const int labels = verticalHeader()->width();
  const std::vector<int> widths =
      ShareColumnWidths(labels + viewport()->width(), labels, grid_.ColumnCount());
  // A number of six digits stays readable; a narrow window scrolls instead.
  const int least = fontMetrics().horizontalAdvance("-0.000000") + 6;
  for (int c = 1; c < grid_.ColumnCount(); ++c) setColumnWidth(c - 1, std::max(widths[c], least));
}

void ParameterGridView::FitLabels() {
  int widest = kParamLabelWidth;
  const QFontMetrics metrics(verticalHeader()->font());
  for (int r = 1; r < grid_.RowCount(); ++r)
    widest = std::max(widest, metrics.horizontalAdvance(QString::fromStdString(grid_.Text(0, r))) + 8);
  if (widest != verticalHeader()->width()) {
    verticalHeader()->setFixedWidth(widest);
    ShareColumns();
  }
}

void ParameterGridView::FollowCore() {
  model_->RefreshCells();
  FitLabels();
  if (inCore_ > 0) return;
  const QModelIndex core = model_->index(grid_.CurrentRow() - 1, grid_.CurrentColumn() - 1);
  if (currentIndex() != core) {
    following_ = true;
    setCurrentIndex(core);
    following_ = false;
  }
  const bool editing = state() == QAbstractItemView::EditingState;
  if (grid_.EditorOpen() && !editing) {
    // A refused text: back into its editor once the current event is done.
    QTimer::singleShot(0, this, [this] {
      const QModelIndex cell = model_->index(grid_.CurrentRow() - 1, grid_.CurrentColumn() - 1);
      if (grid_.EditorOpen() && state() != QAbstractItemView::EditingState) edit(cell);
    });
  } else if (!grid_.EditorOpen() && editing) {
    delegate_->CloseOpenEditor();
  }
}

void ParameterGridView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  if (following_ || !current.isValid()) return;
  if (current.column() + 1 == grid_.CurrentColumn() && current.row() + 1 == grid_.CurrentRow())
    return;
  if (Forward([&] { return grid_.SelectCell(current.column() + 1, current.row() + 1); })) {
    model_->RefreshCells();
    return;
  }
  // The cell left holds no number: the view goes back to it after this change is done.
  QTimer::singleShot(0, this, [this] { FollowCore(); });
}

void ParameterGridView::selectionChanged(const QItemSelection& selected,
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
  Forward([&] { grid_.SetSelection({left + 1, top + 1, right + 1, bottom + 1}); });
}

bool ParameterGridView::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
    event->accept();
    return true;
  }
  return QTableView::event(event);
}

void ParameterGridView::keyPressEvent(QKeyEvent* event) {
  if (Forward([&] {
        return grid_.KeyDown(ToGridKey(event->key()), ToModifiers(event->modifiers()));
      })) {
    FollowCore();
    event->accept();
    return;
  }
  if (event->matches(QKeySequence::Copy)) {
    event->accept();  // only the grids whose core copies have Ctrl+C
    return;
  }
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    Forward([this] { grid_.EnterKey(); });
    FollowCore();
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

void ParameterGridView::focusOutEvent(QFocusEvent* event) {
  QTableView::focusOutEvent(event);
  FocusLeaving(event->reason());
}

void ParameterGridView::FocusLeaving(Qt::FocusReason reason) {
  // A message box or another application taking the focus is no focus loss of the grid.
  if (leaving_ || reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return;
  QWidget* now = QApplication::focusWidget();
  if (now && (now == this || isAncestorOf(now))) return;
  leaving_ = true;
  const bool stored = Forward([this] { return grid_.FocusLost(); });
  leaving_ = false;
  model_->RefreshCells();
  if (!stored) QTimer::singleShot(0, this, [this] { setFocus(Qt::OtherFocusReason); });
}

void ParameterGridView::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  ShareColumns();
}

void ParameterGridView::showEvent(QShowEvent* event) {
  QTableView::showEvent(event);
  ShareColumns();
}

bool ParameterGridView::eventFilter(QObject* object, QEvent* event) {
  if (object == verticalHeader()->viewport() && event->type() == QEvent::MouseButtonRelease) {
    const int section =
        verticalHeader()->logicalIndexAt(static_cast<QMouseEvent*>(event)->position().toPoint());
    if (section >= 0) {
      Forward([&] { grid_.MouseReleased(0, section + 1); });
      model_->RefreshCells();
    }
  }
  return QTableView::eventFilter(object, event);
}

}  // namespace zelk
