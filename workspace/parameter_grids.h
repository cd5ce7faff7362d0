#pragma once
// The two parameter grids as models: ParamGrid (values only) and PDGrid (values, bounds,
// standard errors, F-limits). Each holds its cell texts, current cell, selection and editor
// state and says how every cell is drawn; a view only draws that and forwards what the user
// does. Row 0 holds the headings, column 0 the labels ("1." or the parameter's name); row r is
// parameter r. There are 20 rows, or as many as the parameters when there are more.

#include <array>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "estimation/fit_result.h"
#include "estimation/parameter_record.h"
#include "model/model_names.h"
#include "workspace/data_grid.h"
#include "workspace/edit_history.h"
#include "workspace/user_interface.h"

namespace zelk {

inline constexpr int kParamGridRows = kMaxParams + 1;  // at least; heading row included
inline constexpr int kParamGridColumns = 2;            // label column included
inline constexpr int kPDGridColumns = 8;
inline constexpr int kScaleColumn = 7;  // PDGrid: linear, ln or log10
inline constexpr int kParamLabelWidth = 30;
inline constexpr int kParamRowHeight = 18;

enum class ParamGridKind { ParamGrid, PDGrid };

// Which rows a refresh writes: 1..Count only, or all rows with empty texts beyond Count.
enum class RefreshRows { UpToCount, All };

enum class CellAlignment { Left, Right, Centre };
enum class CellBackground { ButtonFace, White, Yellow, Window };
enum class CellTextColour { Black, Grey, Blue, Red };  // grey is (128, 128, 128)

struct CellStyle {
  CellAlignment Alignment;
  CellBackground Background;
  CellTextColour TextColour;
  bool TextDrawn;  // false: the cell is painted empty whatever text it holds
  bool operator==(const CellStyle&) const = default;
};

// The keys the grids react to; everything else is Other.
enum class GridKey { Left, Right, C, Other };
enum KeyModifiers : unsigned { kNoModifiers = 0, kShiftKey = 1, kCtrlKey = 2, kAltKey = 4 };

// Column sharing: column 0 keeps `firstWidth`, columns 1..n-2 get
// w = (gridWidth - firstWidth) div (n - 1) and the last column gridWidth - w (n - 2) - firstWidth.
// Returns the n widths, column 0 first. n must be at least 2.
std::vector<int> ShareColumnWidths(int gridWidth, int firstWidth, int columnCount);

// The cells of `selection` row by row from top to bottom, one TAB between the cells of a row
// and CR LF after every row, the last included.
std::string GridSelectionText(const GridRect& selection,
                              const std::function<std::string(int col, int row)>& cellText);
// The same text, placed on the clipboard.
void CopyGridSelection(UserInterface& ui, const GridRect& selection,
                       const std::function<std::string(int col, int row)>& cellText);

class ParameterGrids;

class ParameterGrid {
 public:
  ParamGridKind Kind() const { return kind_; }
  int ColumnCount() const { return columnCount_; }
  int RowCount() const { return static_cast<int>(texts_.size()); }

  // The text a cell holds (as typed or as last refreshed). Throws std::out_of_range off the grid.
  const std::string& Text(int col, int row) const;
  // Text, or empty where the drawing rules leave the cell empty (standard errors and F-limits
  // not yet computed).
  std::string DisplayText(int col, int row) const;
  // The tip shown over a heading of row 0, or empty: what "Std. Error" holds.
  std::string HeadingTip(int col) const;
  // How the cell is painted. Depends on the record (Fixed, bounds, valid flags) and, in PDGrid,
  // on the selection.
  CellStyle Style(int col, int row) const;

  int CurrentColumn() const { return cursor_.Column(); }
  int CurrentRow() const { return cursor_.Row(); }
  const GridRect& Selection() const { return cursor_.Selection(); }
  bool EditorOpen() const { return editorOpen_; }
  // Cells whose text is stored when edited: rows 1..Count, in PDGrid only columns 1..3 and only
  // after a key press switched editing on. Other cells never open an editor, since a text typed
  // there would be shown and never stored.
  bool CanEdit(int col, int row) const;

  // Opens the editor of the current cell; false when CanEdit refuses it.
  bool OpenEditor();
  // The editor's text changed: the current cell keeps it. Ignored while no editor is open.
  void EditorTextChanged(const std::string& text);
  // Moves the current cell after validating the one left. Returns false, with
  // "Invalid numeric format!" shown and the editor kept open, when the left cell holds no number.
  // Closes the editor and switches PDGrid's editing off.
  bool SelectCell(int col, int row);
  // A rectangle chosen with the mouse or the keyboard; clipped to the data cells.
  void SetSelection(const GridRect& rect);
  // Enter: validates and stores the edited cell and closes the editor (true); a refused text
  // keeps the editor open after its message (false).
  bool EnterKey();
  // Escape: the cell gets back its last stored or refreshed text; the editor closes.
  void EscapeKey();
  // The grid lost the focus: validates and closes the editor. Returns false when the text is no
  // number; the view then takes the focus back.
  bool FocusLost();
  // A key went down in the grid or its editor. In PDGrid: switches editing on; Ctrl+C copies the
  // selection; with the editor open and no modifier, Left/Right move one column (not past 1 or
  // the last) through SelectCell. Returns true when the key was used up.
  bool KeyDown(GridKey key, unsigned modifiers);
  // A mouse button was released over (col, row): on column 0, rows 1..Count, toggles Fixed.
  void MouseReleased(int col, int row);
  // The selection's drawn texts to the clipboard.
  void CopySelection();

  ParameterGrid(const ParameterGrid&) = delete;
  ParameterGrid& operator=(const ParameterGrid&) = delete;

 private:
  friend class ParameterGrids;
  ParameterGrid(ParamGridKind kind, ParameterGrids& owner);

  std::string& TextRef(int col, int row);
  // Stores the current cell if it was typed into; false (after the message) when it is no number.
  bool StoreEdited();
  void Closed();

  ParamGridKind kind_;
  ParameterGrids& owner_;
  int columnCount_;
  // Rows as many as the owner last sized them to (Size).
  void Size(int rows);
  std::vector<std::array<std::string, kPDGridColumns>> texts_;
  GridCursor cursor_;
  bool editorOpen_ = false;
  bool editing_ = false;  // PDGrid: a key press allowed the editor
  // The current cell was typed into since it was last stored or refreshed: only typed texts are
  // stored, so moving through cells never rounds a value to its shown digits.
  bool edited_ = false;
  std::string textBeforeEdit_;
};

// Both grids over one record. The owner keeps this object at a fixed address (the grids refer
// back to it) and calls the refreshes whenever the record changes behind the grids' back.
class ParameterGrids {
 public:
  // `setParameterValue`(i, v): Value[i] and TrialValue[i] become v and the owner clears what
  // depended on the old value (ObjectiveReady, LimitReady, CurveReady) and repaints the fit chart.
  // `fixedToggled` runs after every ToggleFixed, once the grids asked for their own repaint.
  // Both are required.
  // `fit` tells which F-limit sides are still to be searched (not drawn) or were cut short
  // (drawn grey).
  // The rows are headed by the model's names where it has them (Label after they change).
  ParameterGrids(TParameterRecord& record, const FitResult& fit, const ModelNames& names,
                 UserInterface& ui, std::function<void(int, double)> setParameterValue,
                 std::function<void()> fixedToggled);
  // Row headings: the parameter's name, else its number.
  void Label();
  ParameterGrids(const ParameterGrids&) = delete;
  ParameterGrids& operator=(const ParameterGrids&) = delete;

  ParameterGrid& ParamGrid() { return paramGrid_; }
  ParameterGrid& PDGrid() { return pdGrid_; }
  const ParameterGrid& ParamGrid() const { return paramGrid_; }
  const ParameterGrid& PDGrid() const { return pdGrid_; }
  const TParameterRecord& Record() const { return record_; }

  // ParamGrid's column 1 from Value with 8 significant digits.
  void RefreshValueColumn(RefreshRows rows);
  // PDGrid's given columns (1 Value, 2 MinBound, 3 MaxBound, 4 StdError, 5 LoFLimit,
  // 6 HiFLimit, 7 Scale; others ignored), numbers with 6 significant digits. A logarithmic
  // parameter's standard error is shown as its factor, "x/÷ 1.8".
  void RefreshDetails(std::initializer_list<int> columns, RefreshRows rows);
  // Fixed[i] flips (i in 1..Count, else nothing).
  void ToggleFixed(int i);
  // While a computation runs both grids are locked: their cells can be selected and copied,
  // no editor opens and a row label does not toggle Fixed.
  void SetLocked(bool locked) { locked_ = locked; }
  // Each stored value, bound or scale and each Fixed toggle is one step; Undo takes back the
  // newest and Redo does it again. Both refuse while the grids are locked.
  bool Undo();
  bool Redo();
  // Another model or parameter file: the steps of the old table are gone.
  void ForgetEdits();

 private:
  friend class ParameterGrid;
  // One changed cell of the record: column 1 value, 2 and 3 bounds, kScaleColumn the scale
  // (as its number), 0 Fixed (as 0 or 1).
  struct Change {
    int Col, Row;
    double Before, After;
  };
  double Cell(int col, int row) const;
  // Puts `v` into the record as an edit of that cell would, and repaints.
  void Apply(int col, int row, double v);
  // Records the change of a cell about to be stored.
  void Remember(int col, int row, double after);
  // Undo (or redo) the newest change; false while locked or when there is none.
  bool Replay(bool undo);
  // A number typed into `grid` at (col, row) goes to the record.
  void Store(ParameterGrid& grid, int col, int row, double v);
  void StoreScale(int row, TScale scale);
  int Count() const;
  // Both grids get the rows the record's count needs, labelled.
  void SizeRows();
  void WriteLabels();

  TParameterRecord& record_;
  const FitResult& fit_;
  const ModelNames& names_;
  UserInterface& ui_;
  std::function<void(int, double)> setParameterValue_;
  std::function<void()> fixedToggled_;
  ParameterGrid paramGrid_;
  ParameterGrid pdGrid_;
  bool locked_ = false;
  EditHistory<Change> history_;
};

}  // namespace zelk
