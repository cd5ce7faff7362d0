#pragma once
// The parameter grids' widget: a table view over a core ParameterGrid (either kind). Row 0 and
// column 0 of the core grid are the view's headers. Cells are painted by the core's drawing
// rules; keys, moves, Enter, focus loss and releases over the row labels go to the core, which
// decides, and the view then follows the core's current cell and editor.

#include <QAbstractTableModel>
#include <QTableView>

#include "workspace/parameter_grids.h"

namespace zelk {

class ParameterGridDelegate;

class ParameterGridModel : public QAbstractTableModel {
 public:
  explicit ParameterGridModel(ParameterGrid& grid, QObject* parent = nullptr)
      : QAbstractTableModel(parent), grid_(grid), rows_(grid.RowCount() - 1) {}
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  // Display, edit, alignment, foreground and background as the core says.
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // Texts, colours or the record behind them changed.
  void RefreshCells();

 private:
  // A cell's texts and colours, for data cells and the heading and label cells alike.
  QVariant CellData(int col, int row, int role) const;

  ParameterGrid& grid_;
  int rows_;  // as the view last learnt them: the core's count changes between refreshes
};

class ParameterGridView : public QTableView {
 public:
  explicit ParameterGridView(ParameterGrid& grid, QWidget* parent = nullptr);
  ParameterGrid& Grid() const { return grid_; }
  // The label column as wide as the widest label (names are longer than "20.").
  void FitLabels();
  ParameterGridModel* GridModel() const { return model_; }
  // Columns 1..n-1 share the width beside the 30-pixel label column; runs on every resize.
  void ShareColumns();
  // Redraws from the core and moves the current cell and the editor to where the core has them.
  // Safe as the answer to every repaint request: during a call the view made into the core it
  // only redraws, and the view follows the core itself when that call returns.
  void FollowCore();

 protected:
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void keyboardSearch(const QString&) override {}  // typing edits, it never jumps to a cell
  bool eventFilter(QObject* object, QEvent* event) override;
  // Ctrl+C is the grid's own, not the Edit menu's shortcut.
  bool event(QEvent* event) override;

 private:
  friend class ParameterGridDelegate;
  // Focus went elsewhere: the core validates; a refused text takes the focus back.
  void FocusLeaving(Qt::FocusReason reason);
  // Runs a call into the core on the user's behalf (see FollowCore).
  template <typename Call>
  auto Forward(Call&& call) {
    struct Depth {
      int& depth;
      ~Depth() { --depth; }
    } inside{++inCore_};
    return call();
  }

  ParameterGrid& grid_;
  ParameterGridModel* model_;
  ParameterGridDelegate* delegate_;
  bool following_ = false;
  bool leaving_ = false;
  int inCore_ = 0;
};

}  // namespace zelk
