#include "workspace/data_grid.h"

#include <algorithm>
#include <stdexcept>

#include "base/format.h"
#include "base/messages.h"

namespace zelk {

DataGrid::DataGrid(TDataSet& data, const ModelNames& names, UserInterface& ui,
                   std::function<void()> markModified)
    : data_(data),
      names_(names),
      ui_(ui),
      markModified_(std::move(markModified)) {
  FollowIndepCount();
}

namespace {

std::uint64_t CellKey(int col, int row) {
  return (static_cast<std::uint64_t>(row) << 32) | static_cast<std::uint32_t>(col);
}

}  // namespace

void DataGrid::SetText(int col, int row, std::string text) {
  typed_[CellKey(col, row)] = std::move(text);
}

std::string DataGrid::Text(int col, int row) const {
  if (col < 0 || col >= columnCount_ || row < 0 || row >= RowCount())
    throw std::out_of_range("grid cell out of range");
  if (row == 0) return col < static_cast<int>(headings_.size()) ? headings_[col] : std::string();
  if (col == 0) return std::to_string(row) + ".";
  if (const auto it = typed_.find(CellKey(col, row)); it != typed_.end()) return it->second;
  double* value = nullptr;
  std::uint8_t* defined = nullptr;
  if (!const_cast<DataGrid*>(this)->CellTarget(col, row, value, defined) || !*defined) return {};
  return FormatSignificant(*value, 6);
}

DataGrid::CellKind DataGrid::Kind(int col, int row) const {
  if (row == 0) return CellKind::Heading;
  if (col == 0) return CellKind::Label;
  const int indep = data_.XData.IndepCount;
  if (row > data_.YData.EventCount || col > indep + data_.YData.DepCount) return CellKind::Blank;
  if (col <= indep)
    return data_.XData.Defined.at(row).at(col) ? CellKind::Independent : CellKind::Missing;
  return data_.YData.Defined.at(row).at(col - indep) ? CellKind::Dependent : CellKind::Missing;
}

std::string DataGrid::DisplayText(int col, int row) const {
  switch (Kind(col, row)) {
    case CellKind::Heading:
    case CellKind::Label:
      return Text(col, row);
    case CellKind::Missing:
      return "#";
    case CellKind::Blank:
      return {};
    default:
      return Text(col, row);
  }
}

void DataGrid::Label() {
  headings_.assign(columnCount_, std::string());
  const int indep = data_.XData.IndepCount;
  for (int c = 1; c < columnCount_; ++c)
    headings_[c] =
        c <= indep ? "X[" + std::to_string(c) + "]" : ResponseLabel(names_, c - indep);
  laidOutRows_ = RowCount();
  ui_.Repaint(View::DataGridLayout);
}

void DataGrid::FollowIndepCount() {
  columnCount_ = data_.XData.IndepCount + data_.YData.M.Columns() + 1;
  cursor_.SetLastColumn(columnCount_ - 1);
  cursor_.SetLastRow(RowCount() - 1);
  Label();
}

void DataGrid::RewriteFromData() {
  typed_.clear();
  edited_ = false;
  // The data set may have grown: more rows or columns to lay out.
  if (laidOutRows_ != RowCount() ||
      columnCount_ != data_.XData.IndepCount + data_.YData.M.Columns() + 1)
    FollowIndepCount();
  ui_.Repaint(View::DataGrid);
}

bool DataGrid::CellTarget(int col, int row, double*& value, std::uint8_t*& defined) {
  const int indep = data_.XData.IndepCount;
  if (col < 1 || row < 1 || row >= RowCount() || col >= columnCount_ ||
      col > indep + data_.YData.M.Columns() || indep > data_.XData.X.Columns())
    return false;
  if (col <= indep) {
    value = &data_.XData.X[row][col];
    defined = &data_.XData.Defined[row][col];
  } else {
    value = &data_.YData.M[row][col - indep];
    defined = &data_.YData.Defined[row][col - indep];
  }
  return true;
}

void DataGrid::StoreCell(int col, int row, bool defined, double value) {
  double* v = nullptr;
  std::uint8_t* d = nullptr;
  if (!CellTarget(col, row, v, d)) return;
  *v = defined ? value : 0.0;
  *d = defined;
}

bool DataGrid::OpenEditor() {
  if (locked_) return false;
  editorOpen_ = true;
  ui_.Repaint(View::DataGrid);
  return true;
}

void DataGrid::EditorTextChanged(const std::string& text) {
  if (!edited_) beforeEdit_ = StateOf(cursor_.Column(), cursor_.Row());
  SetText(cursor_.Column(), cursor_.Row(), text);
  edited_ = true;
  markModified_();
}

bool DataGrid::ValidateCurrent() {
  // A text written from the data is rounded; storing it back would change the value.
  if (!edited_) return true;
  const std::string text = Text(cursor_.Column(), cursor_.Row());
  const auto number = ParseNumber(text);
  if (number || text.empty()) {
    pending_.push_back({cursor_.Column(), cursor_.Row(), beforeEdit_, {}});
    StoreCell(cursor_.Column(), cursor_.Row(), number.has_value(), number.value_or(0.0));
    edited_ = false;
    EndStep();
    return true;
  }
  ui_.ShowMessage(MessageKind::Error, msg::kInvalidNumber, Buttons::Ok);
  editorOpen_ = true;
  ui_.Repaint(View::DataGrid);
  return false;
}

bool DataGrid::SelectCell(int col, int row) {
  if (!cursor_.Contains(col, row)) return false;
  if (!ValidateCurrent()) return false;
  if (!cursor_.IsCurrent(col, row)) editorOpen_ = false;
  cursor_.MoveTo(col, row);
  ui_.Repaint(View::DataGrid);
  return true;
}

void DataGrid::SetSelection(const GridRect& rect) { cursor_.Select(rect); }

bool DataGrid::EnterKey() {
  if (!edited_) {
    editorOpen_ = false;
    return true;
  }
  const auto number = ParseNumber(Text(cursor_.Column(), cursor_.Row()));
  if (!number) {
    // The editor stays open on the refused text, as when leaving the cell.
    ui_.ShowMessage(MessageKind::Error, msg::kInvalidNumber, Buttons::Ok);
    return false;
  }
  pending_.push_back({cursor_.Column(), cursor_.Row(), beforeEdit_, {}});
  StoreCell(cursor_.Column(), cursor_.Row(), true, *number);
  edited_ = false;
  editorOpen_ = false;
  EndStep();
  ui_.Repaint(View::DataGrid);
  return true;
}

void DataGrid::EscapeKey() {
  if (edited_) Restore(cursor_.Column(), cursor_.Row(), beforeEdit_);
  edited_ = false;
  editorOpen_ = false;
  ui_.Repaint(View::DataGrid);
}

DataGrid::CellState DataGrid::StateOf(int col, int row) const {
  CellState state;
  if (const auto it = typed_.find(CellKey(col, row)); it != typed_.end()) {
    state.Typed = true;
    state.Text = it->second;
  }
  double* value = nullptr;
  std::uint8_t* defined = nullptr;
  if (const_cast<DataGrid*>(this)->CellTarget(col, row, value, defined)) {
    state.Defined = *defined;
    state.Value = *value;
  }
  return state;
}

void DataGrid::Restore(int col, int row, const CellState& state) {
  if (state.Typed)
    SetText(col, row, state.Text);
  else
    typed_.erase(CellKey(col, row));
  StoreCell(col, row, state.Defined, state.Value);
}

void DataGrid::EndStep() {
  Step step;
  for (CellChange& change : pending_) {
    change.After = StateOf(change.Col, change.Row);
    if (!(change.After == change.Before)) step.push_back(std::move(change));
  }
  pending_.clear();
  if (!step.empty()) history_.Push(std::move(step));
}

bool DataGrid::Replay(bool undo) {
  if (locked_ || !(undo ? history_.CanUndo() : history_.CanRedo())) return false;
  // An open edit is dropped first: its cell may be one the step restores.
  if (edited_) Restore(cursor_.Column(), cursor_.Row(), beforeEdit_);
  edited_ = false;
  editorOpen_ = false;
  const Step step = *history_.Take(undo);
  // Backwards, so a cell touched twice ends with its earliest Before.
  if (undo)
    for (auto it = step.rbegin(); it != step.rend(); ++it) Restore(it->Col, it->Row, it->Before);
  else
    for (const CellChange& change : step) Restore(change.Col, change.Row, change.After);
  // The cells it changed are selected, so the user sees what came back.
  GridRect changed{step.front().Col, step.front().Row, step.front().Col, step.front().Row};
  for (const CellChange& change : step) {
    changed.Left = std::min(changed.Left, change.Col);
    changed.Right = std::max(changed.Right, change.Col);
    changed.Top = std::min(changed.Top, change.Row);
    changed.Bottom = std::max(changed.Bottom, change.Row);
  }
  cursor_.MoveTo(changed.Left, changed.Top);
  cursor_.Select(changed);
  markModified_();
  ui_.Repaint(View::DataGrid);
  return true;
}

bool DataGrid::Undo() { return Replay(true); }
bool DataGrid::Redo() { return Replay(false); }

void DataGrid::ForgetEdits() {
  history_.Clear();
  pending_.clear();
}

bool DataGrid::CommitEditedCell() { return ValidateCurrent(); }

void DataGrid::KeyReleased(Key key, bool ctrl, bool otherModifier) {
  if (locked_) return;
  if (!ctrl && !otherModifier && editorOpen_) {
    if (key == Key::Left && cursor_.Column() > 1)
      SelectCell(cursor_.Column() - 1, cursor_.Row());
    else if (key == Key::Right && cursor_.Column() + 1 < columnCount_)
      SelectCell(cursor_.Column() + 1, cursor_.Row());
  }
  markModified_();
}

void DataGrid::ClearSelection(bool ask) {
  if (locked_) return;
  const GridRect& s = cursor_.Selection();
  const bool several = s.Left != s.Right || s.Top != s.Bottom;
  if (ask && several &&
      ui_.ShowMessage(MessageKind::Confirmation, msg::kClearCells, Buttons::YesNo) != Answer::Yes)
    return;
  for (int c = s.Left; c <= s.Right; ++c)
    for (int r = s.Top; r <= s.Bottom; ++r) PlaceToken(c, r, "");
  EndStep();
  ui_.Repaint(View::DataGrid);
}

std::string DataGrid::SelectionText() const {
  std::string text;
  const GridRect& s = cursor_.Selection();
  for (int r = s.Top; r <= s.Bottom; ++r) {
    for (int c = s.Left; c <= s.Right; ++c) {
      double* value = nullptr;
      std::uint8_t* defined = nullptr;
      if (const_cast<DataGrid*>(this)->CellTarget(c, r, value, defined) && *defined)
        text += FormatSignificant(*value, 8);
      if (c < s.Right) text += '\t';
    }
    text += "\r\n";
  }
  return text;
}

void DataGrid::Copy() { ui_.SetClipboardText(SelectionText()); }

void DataGrid::Cut() {
  if (locked_) return;
  Copy();
  ClearSelection(false);
  markModified_();
}

void DataGrid::PlaceToken(int col, int row, const std::string& token) {
  Touch(col, row);
  if (const auto number = ParseNumber(token)) {
    SetText(col, row, token);
    StoreCell(col, row, true, *number);
  } else {
    SetText(col, row, "");
    StoreCell(col, row, false, 0.0);
  }
  if (cursor_.IsCurrent(col, row)) edited_ = false;
}

int DataGrid::Paste(std::string_view text) {
  if (locked_) return 0;
  // Cells beyond the data set's counts are not shown: a value there would be lost from sight.
  const int lastColumn = std::min(columnCount_ - 1, data_.XData.IndepCount + data_.YData.DepCount);
  const int lastRow = std::min(RowCount() - 1, data_.YData.EventCount);
  int colOffset = 0, rowOffset = 0, leftOut = 0;
  bool tooLong = false;  // the values from the first that ends past the character limit on
  std::string token;
  // A value is read only when it ends within the first kMaxPasteCharacters characters; from
  // the first that does not, the rest are only counted. Values outside the data set are
  // left out one by one, the others placed.
  auto place = [&](bool readable) {
    const int col = cursor_.Column() + colOffset, row = cursor_.Row() + rowOffset;
    if (tooLong || !readable) {
      tooLong = true;
      ++leftOut;
    } else if (col > lastColumn || row > lastRow) {
      ++leftOut;
    } else {
      PlaceToken(col, row, token);
    }
    token.clear();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    if (ch == '\t') {
      place(i < kMaxPasteCharacters);
      ++colOffset;
    } else if (ch == '\r' || ch == '\n') {
      // LF alone, CR alone and CR LF each end one row.
      place(i < kMaxPasteCharacters);
      ++rowOffset;
      colOffset = 0;
      if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      token += ch;
    }
  }
  // A last value without a line break is what most programs copy: it is placed as well.
  if (!token.empty()) place(text.size() <= kMaxPasteCharacters);
  EndStep();
  markModified_();
  ui_.Repaint(View::DataGrid);
  if (leftOut > 0) {
    const std::string count = std::to_string(leftOut);
    ui_.ShowMessage(
        MessageKind::Information,
        tooLong ? FillPlaceholders(msg::kPasteTooLong, {std::to_string(kMaxPasteCharacters), count})
                : FillPlaceholders(msg::kPasteLeftOut, {std::to_string(lastRow),
                                                        std::to_string(lastColumn), count}),
        Buttons::Ok);
  }
  return leftOut;
}

}  // namespace zelk
