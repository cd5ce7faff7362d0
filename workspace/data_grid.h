#pragma once
// The data grid as a model: cell texts, headings, the current cell, the selection and the
// in-place editor's state. A view only draws what this holds and forwards what the user does.
// Column 0 and row 0 are the fixed label column and heading row.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/data_set.h"
#include "model/model_names.h"
#include "workspace/grid_cursor.h"
#include "workspace/user_interface.h"

namespace zelk {

inline constexpr int kGridDataRows = kMaxEvents;
inline constexpr int kGridMaxColumns = kMaxIndep + kMaxDep + 1;  // label column included
inline constexpr int kGridLabelWidth = 36;
inline constexpr int kGridRowHeight = 18;
inline constexpr std::size_t kMaxPasteCharacters = 65534;

class DataGrid {
 public:
  enum class CellKind { Heading, Label, Blank, Independent, Dependent, Missing };

  // `markModified` marks the data set not saved; it is called for every edit. The response
  // columns are headed by the model's names where it has them.
  DataGrid(TDataSet& data, const ModelNames& names, UserInterface& ui,
           std::function<void()> markModified);

  int ColumnCount() const { return columnCount_; }
  int RowCount() const { return kGridDataRows + 1; }
  // The text drawn in a cell, "#" for a missing value, nothing for a blank cell.
  std::string DisplayText(int col, int row) const;
  CellKind Kind(int col, int row) const;
  // The text a cell keeps (what was typed or written from the data).
  const std::string& Text(int col, int row) const;

  // Column 0 labels and headings for the current column count and names.
  void Label();
  // Closes the editor, sets 52 columns and empties every data cell.
  void Empty();
  // Columns become IndepCount + 51; headings are rewritten.
  void FollowIndepCount();
  // Texts of every event from the data (6 significant digits, empty when missing). All 1000
  // rows are written so that values kept beyond a lowered count reappear with their own text.
  void RewriteFromData();

  void StoreCell(int col, int row, bool defined, double value);

  int CurrentColumn() const { return cursor_.Column(); }
  int CurrentRow() const { return cursor_.Row(); }
  const GridRect& Selection() const { return cursor_.Selection(); }
  bool EditorOpen() const { return editorOpen_; }

  // A key press opens the editor of the current cell; false while the grid is locked.
  bool OpenEditor();
  // While a computation runs the grid is locked: its cells can be selected and copied, and
  // nothing changes them (no editor, Delete, Cut or Paste, no mark of a modified data set).
  void SetLocked(bool locked) { locked_ = locked; }
  // The editor's text changed: the cell keeps it and the data set is marked not saved.
  void EditorTextChanged(const std::string& text);
  // Moves the current cell after validating the one left. Returns false (and reopens the
  // editor, after "Invalid numeric format!") when the left cell holds no number.
  bool SelectCell(int col, int row);
  // A rectangle chosen with the mouse, its corners in any order; clipped to the grid.
  void SetSelection(const GridRect& rect);
  // Enter: stores a number and closes the editor (true); anything else is refused with a
  // message and the editor stays open on it (false).
  bool EnterKey();
  // As leaving the cell: returns false when the edited text is no number. A cell whose
  // text was not typed keeps its exact value.
  bool CommitEditedCell();

  enum class Key { Left, Right, Delete, C, X, V, Other };
  // A key released in the grid: with the editor open and no modifier Left and Right move a
  // column; Delete clears the selection; Ctrl+C, Ctrl+X, Ctrl+V copy, cut and paste. Any
  // key marks the data set not saved.
  void KeyReleased(Key key, bool ctrl, bool otherModifier);
  // Empties the selected cells and makes their values missing; more than one cell is
  // cleared only after the user agrees.
  void ClearSelection(bool ask = true);
  // The selected values, from the data set: 8 significant digits, nothing for a missing
  // value, TAB between cells and CR LF after every row.
  std::string SelectionText() const;
  void Copy();
  // Copy, then clear the selection without asking.
  void Cut();
  // Places the TAB-separated values of `text` from the current cell on; CR LF, CR or LF ends
  // a row, and a last value without a line break is placed too. Placing stops at the first
  // cell outside the grid or the first value ending beyond kMaxPasteCharacters; returns how
  // many values were left out (and tells the user when there were any).
  int Paste(std::string_view text);

 private:
  std::string& TextRef(int col, int row);
  // The data value a cell stands for; false for the label column or beyond the counts.
  bool CellTarget(int col, int row, double*& value, bool*& defined);
  bool ValidateCurrent();
  // Stores a pasted token: a number with its text as written, anything else as missing.
  void PlaceToken(int col, int row, const std::string& token);

  TDataSet& data_;
  const ModelNames& names_;
  UserInterface& ui_;
  std::function<void()> markModified_;
  int columnCount_ = kMaxDep + 2;
  std::vector<std::string> texts_;
  std::vector<std::string> headings_;
  GridCursor cursor_{kMaxDep + 1, kGridDataRows};
  bool editorOpen_ = false;
  bool locked_ = false;
  // The current cell's text was typed since it was last stored or written from the data.
  bool edited_ = false;
};

}  // namespace zelk
