#pragma once
// The data grid as a model: cell texts, headings, the current cell, the selection and the
// in-place editor's state. A view only draws what this holds and forwards what the user does.
// Column 0 and row 0 are the fixed label column and heading row.

#include <functional>
#include <string>
#include <unordered_map>
#include <string_view>
#include <vector>

#include "base/data_set.h"
#include "model/model_names.h"
#include "workspace/edit_history.h"
#include "workspace/grid_cursor.h"
#include "workspace/user_interface.h"

namespace zelk {

inline constexpr int kGridDataRows = kMaxEvents;  // rows shown at least
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

  // The label column, then the independent columns and at least 50 dependent ones (as many
  // as the data set holds).
  int ColumnCount() const { return columnCount_; }
  // The heading row and every event the data set holds (at least 1000).
  int RowCount() const { return data_.YData.M.Rows() + 1; }
  // The text drawn in a cell, "#" for a missing value, nothing for a blank cell.
  std::string DisplayText(int col, int row) const;
  CellKind Kind(int col, int row) const;
  // The text of a cell: what was typed or pasted there, else its value from the data (6
  // significant digits, empty when missing). Only typed texts are stored, so a grid of any
  // size costs no more than its data.
  std::string Text(int col, int row) const;

  // Headings for the current column count and names.
  void Label();
  // Columns follow IndepCount and the data set's width; headings are rewritten.
  void FollowIndepCount();
  // Every cell shows its value from the data again; values kept beyond a lowered count
  // reappear with their own text.
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

  enum class Key { Left, Right, Other };
  // A key released in the grid: with the editor open and no modifier Left and Right move a
  // column. Any key marks the data set not saved (none while locked). Delete and the
  // clipboard keys are the Edit commands', acting when pressed.
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
  // a row, and a last value without a line break is placed too. Values that fall outside the
  // data set's rows and columns are left out, and so is everything from the first value
  // ending beyond kMaxPasteCharacters on; returns how many values were left out (and tells
  // the user when there were any). The paste is one step of Undo.
  int Paste(std::string_view text);

  // Escape in the editor: the cell gets back the text and value it had before the editing.
  void EscapeKey();
  // Each stored edit, paste, cut or clear is one step; Undo takes back the newest and Redo
  // does it again. Both refuse while the grid is locked.
  bool Undo();
  bool Redo();
  bool CanUndo() const { return history_.CanUndo(); }
  bool CanRedo() const { return history_.CanRedo(); }
  // Another data set: the steps of the old one are gone.
  void ForgetEdits();

 private:
  struct CellState {
    bool Typed = false;  // a typed or pasted text is kept for the cell
    std::string Text;
    bool Defined = false;
    double Value = 0.0;
    bool operator==(const CellState&) const = default;
  };
  struct CellChange {
    int Col, Row;
    CellState Before, After;
  };
  using Step = std::vector<CellChange>;
  CellState StateOf(int col, int row) const;
  void Restore(int col, int row, const CellState& state);
  // Records a cell's state before a command changes it.
  void Touch(int col, int row) { pending_.push_back({col, row, StateOf(col, row), {}}); }
  // The touched cells that changed become one undoable step.
  void EndStep();
  // Moves the newest step of `from` onto `to`, applying its Before (undo) or After states.
  // Applies the newest step's Before states (undo) or its After states (redo).
  bool Replay(bool undo);

  void SetText(int col, int row, std::string text);
  // The data value a cell stands for; false for the label column or beyond the grid.
  bool CellTarget(int col, int row, double*& value, std::uint8_t*& defined);
  bool ValidateCurrent();
  // Stores a pasted token: a number with its text as written, anything else as missing.
  void PlaceToken(int col, int row, const std::string& token);

  TDataSet& data_;
  const ModelNames& names_;
  UserInterface& ui_;
  std::function<void()> markModified_;
  int columnCount_ = kMaxDep + 2;
  int laidOutRows_ = 0;
  std::unordered_map<std::uint64_t, std::string> typed_;  // by row * 2^32 + column
  std::vector<std::string> headings_;
  GridCursor cursor_{kMaxDep + 1, kGridDataRows};
  bool editorOpen_ = false;
  bool locked_ = false;
  // The current cell's text was typed since it was last stored or written from the data.
  bool edited_ = false;
  CellState beforeEdit_;  // the current cell before its typing began
  Step pending_;
  EditHistory<Step> history_;
};

}  // namespace zelk
