#include "workspace/parameter_grids.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>

#include "base/format.h"
#include "base/messages.h"
#include "estimation/scales.h"

namespace zelk {

namespace {

// A value this close to a bound counts as sitting on it.
constexpr double kOnBound = 1e-10;

constexpr const char* kDetailHeadings[kPDGridColumns] = {
    "", "Value", "Min", "Max", "Std. Error", "Lo F-Limit", "Hi F-Limit", "Scale"};

}  // namespace

std::vector<int> ShareColumnWidths(int gridWidth, int firstWidth, int columnCount) {
  if (columnCount < 2) throw std::invalid_argument("column sharing needs two columns");
  const int w = (gridWidth - firstWidth) / (columnCount - 1);
  std::vector<int> widths(columnCount, w);
  widths.front() = firstWidth;
  widths.back() = gridWidth - w * (columnCount - 2) - firstWidth;
  return widths;
}

std::string GridSelectionText(const GridRect& selection,
                              const std::function<std::string(int col, int row)>& cellText) {
  std::string text;
  for (int row = selection.Top; row <= selection.Bottom; ++row) {
    for (int col = selection.Left; col <= selection.Right; ++col) {
      if (col > selection.Left) text += '\t';
      text += cellText(col, row);
    }
    text += "\r\n";
  }
  return text;
}

void CopyGridSelection(UserInterface& ui, const GridRect& selection,
                       const std::function<std::string(int col, int row)>& cellText) {
  ui.SetClipboardText(GridSelectionText(selection, cellText));
}

ParameterGrid::ParameterGrid(ParamGridKind kind, ParameterGrids& owner)
    : kind_(kind),
      owner_(owner),
      columnCount_(kind == ParamGridKind::ParamGrid ? kParamGridColumns : kPDGridColumns),
      cursor_(columnCount_ - 1, kParamGridRows - 1) {
  Size(kParamGridRows);
  for (int c = 1; c < columnCount_; ++c) texts_[0][c] = kDetailHeadings[c];
}

void ParameterGrid::Size(int rows) {
  const int before = RowCount();
  if (rows == before) return;
  texts_.resize(rows);
  for (int r = before; r < rows; ++r) texts_[r][0] = std::to_string(r) + ".";
  cursor_.SetLastRow(rows - 1);
}

std::string& ParameterGrid::TextRef(int col, int row) {
  if (col < 0 || col >= columnCount_ || row < 0 || row >= RowCount())
    throw std::out_of_range("parameter grid cell out of range");
  return texts_[row][col];
}

const std::string& ParameterGrid::Text(int col, int row) const {
  return const_cast<ParameterGrid*>(this)->TextRef(col, row);
}

std::string ParameterGrid::DisplayText(int col, int row) const {
  return Style(col, row).TextDrawn ? Text(col, row) : std::string();
}

std::string ParameterGrid::HeadingTip(int col) const {
  Text(col, 0);  // range check
  return kind_ == ParamGridKind::PDGrid && col == 4 ? msg::kStdErrorHeadingTip : "";
}

CellStyle ParameterGrid::Style(int col, int row) const {
  using A = CellAlignment;
  using B = CellBackground;
  using C = CellTextColour;
  Text(col, row);  // range check
  if (row == 0) return {A::Centre, B::ButtonFace, C::Black, true};
  if (col == 0) return {A::Right, B::ButtonFace, C::Black, true};
  const TParameterRecord& p = owner_.record_;
  const bool fixed = p.Fixed.at(row);
  if (kind_ == ParamGridKind::ParamGrid)
    return {A::Centre, B::White, fixed ? C::Grey : C::Black, true};

  CellStyle style{A::Centre, cursor_.Selected(col, row) ? B::Yellow : B::Window, C::Black, true};
  switch (col) {
    case 1:
      if (fixed)
        style.TextColour = C::Grey;
      else if (std::fabs(p.Value.at(row) - p.MinBound.at(row)) < kOnBound)
        style.TextColour = C::Blue;
      else if (std::fabs(p.Value.at(row) - p.MaxBound.at(row)) < kOnBound)
        style.TextColour = C::Red;
      break;
    case 4:
      style.TextDrawn = p.StdErrValid.at(row);
      break;
    case 5:
    case 6: {
      const bool lower = col == 5;
      const LimitSideState side = owner_.fit_.Side(row, lower);
      style.TextDrawn = (lower ? p.LoFValid : p.HiFValid).at(row) && side != LimitSideState::Pending;
      if (side == LimitSideState::Unfinished)
        style.TextColour = C::Grey;
      else if (lower ? !(p.LoFLimit.at(row) > p.MinBound.at(row))
                     : p.HiFLimit.at(row) >= p.MaxBound.at(row))
        style.TextColour = C::Red;
      break;
    }
    default:
      break;
  }
  return style;
}

bool ParameterGrid::CanEdit(int col, int row) const {
  if (owner_.locked_ || col < 1 || col >= columnCount_ || row < 1 || row > owner_.Count())
    return false;
  return kind_ == ParamGridKind::ParamGrid || ((col <= 3 || col == kScaleColumn) && editing_);
}

bool ParameterGrid::OpenEditor() {
  if (!CanEdit(cursor_.Column(), cursor_.Row())) return false;
  editorOpen_ = true;
  owner_.ui_.Repaint(View::ParameterGrids);
  return true;
}

void ParameterGrid::EditorTextChanged(const std::string& text) {
  if (!editorOpen_) return;
  std::string& cell = TextRef(cursor_.Column(), cursor_.Row());
  // Escape goes back to the last text that was stored or refreshed, even after a refused edit.
  if (!edited_) textBeforeEdit_ = cell;
  cell = text;
  edited_ = true;
}

bool ParameterGrid::StoreEdited() {
  if (!edited_) return true;
  const int col = cursor_.Column(), row = cursor_.Row();
  const bool scaleCell = kind_ == ParamGridKind::PDGrid && col == kScaleColumn;
  if (row > owner_.Count() || (kind_ == ParamGridKind::PDGrid && col > 3 && !scaleCell)) {
    edited_ = false;
    return true;
  }
  if (scaleCell) {
    const auto scale = ScaleFromName(Text(col, row));
    if (!scale) {
      owner_.ui_.ShowMessage(MessageKind::Error, msg::kInvalidScale, Buttons::Ok);
      return false;
    }
    edited_ = false;
    owner_.StoreScale(row, *scale);
    return true;
  }
  const auto number = ParseNumber(Text(col, row));
  if (!number) {
    owner_.ui_.ShowMessage(MessageKind::Error, msg::kInvalidNumber, Buttons::Ok);
    return false;
  }
  edited_ = false;
  owner_.Store(*this, col, row, *number);
  return true;
}

void ParameterGrid::Closed() {
  editorOpen_ = false;
  editing_ = false;
  owner_.ui_.Repaint(View::ParameterGrids);
}

bool ParameterGrid::SelectCell(int col, int row) {
  if (!cursor_.Contains(col, row)) return false;
  if (cursor_.IsCurrent(col, row)) return true;
  if (!StoreEdited()) {
    editorOpen_ = true;
    owner_.ui_.Repaint(View::ParameterGrids);
    return false;
  }
  cursor_.MoveTo(col, row);
  Closed();
  return true;
}

void ParameterGrid::SetSelection(const GridRect& rect) {
  cursor_.Select(rect);
  owner_.ui_.Repaint(View::ParameterGrids);
}

bool ParameterGrid::EnterKey() {
  if (!StoreEdited()) {
    // The editor stays open on the refused text, as when leaving the cell.
    editorOpen_ = true;
    owner_.ui_.Repaint(View::ParameterGrids);
    return false;
  }
  Closed();
  return true;
}

void ParameterGrid::EscapeKey() {
  if (edited_) TextRef(cursor_.Column(), cursor_.Row()) = textBeforeEdit_;
  edited_ = false;
  Closed();
}

bool ParameterGrid::FocusLost() {
  const bool stored = StoreEdited();
  Closed();
  return stored;
}

bool ParameterGrid::KeyDown(GridKey key, unsigned modifiers) {
  if (kind_ != ParamGridKind::PDGrid) return false;
  editing_ = true;
  if (key == GridKey::C && (modifiers & kCtrlKey)) {
    CopySelection();
    return true;
  }
  if (!editorOpen_ || modifiers != kNoModifiers) return false;
  if (key == GridKey::Left && cursor_.Column() > 1) {
    SelectCell(cursor_.Column() - 1, cursor_.Row());
    return true;
  }
  if (key == GridKey::Right && cursor_.Column() < columnCount_ - 1) {
    SelectCell(cursor_.Column() + 1, cursor_.Row());
    return true;
  }
  return false;
}

void ParameterGrid::MouseReleased(int col, int row) {
  if (!owner_.locked_ && col == 0 && row >= 1 && row <= owner_.Count()) owner_.ToggleFixed(row);
}

void ParameterGrid::CopySelection() {
  CopyGridSelection(owner_.ui_, cursor_.Selection(),
                    [this](int col, int row) { return DisplayText(col, row); });
}

ParameterGrids::ParameterGrids(TParameterRecord& record, const FitResult& fit,
                               const ModelNames& names, UserInterface& ui,
                               std::function<void(int, double)> setParameterValue,
                               std::function<void()> fixedToggled)
    : record_(record),
      fit_(fit),
      names_(names),
      ui_(ui),
      setParameterValue_(std::move(setParameterValue)),
      fixedToggled_(std::move(fixedToggled)),
      paramGrid_(ParamGridKind::ParamGrid, *this),
      pdGrid_(ParamGridKind::PDGrid, *this) {}

void ParameterGrids::SizeRows() {
  const int rows = std::max(kParamGridRows, Count() + 1);
  if (rows == paramGrid_.RowCount()) return;
  paramGrid_.Size(rows);
  pdGrid_.Size(rows);
  WriteLabels();
}

void ParameterGrids::WriteLabels() {
  for (int r = 1; r < paramGrid_.RowCount(); ++r) {
    const std::string label =
        r <= static_cast<int>(names_.Parameters.size()) ? names_.Parameters[r - 1] : std::to_string(r) + ".";
    paramGrid_.TextRef(0, r) = pdGrid_.TextRef(0, r) = label;
  }
}

void ParameterGrids::Label() {
  SizeRows();
  WriteLabels();
  ui_.Repaint(View::ParameterGrids);
}

int ParameterGrids::Count() const { return std::clamp<int>(record_.Count, 0, Room(record_)); }

void ParameterGrids::RefreshValueColumn(RefreshRows rows) {
  SizeRows();
  const int last = rows == RefreshRows::All ? paramGrid_.RowCount() - 1 : Count();
  for (int r = 1; r <= last; ++r) {
    paramGrid_.TextRef(1, r) = r <= Count() ? FormatSignificant(record_.Value.at(r), 8) : "";
    if (paramGrid_.cursor_.IsCurrent(1, r)) paramGrid_.edited_ = false;
  }
  ui_.Repaint(View::ParameterGrids);
}

void ParameterGrids::RefreshDetails(std::initializer_list<int> columns, RefreshRows rows) {
  const T20Vector* fields[kPDGridColumns] = {
      nullptr,           &record_.Value,    &record_.MinBound, &record_.MaxBound,
      &record_.StdError, &record_.LoFLimit, &record_.HiFLimit, nullptr};
  SizeRows();
  const int last = rows == RefreshRows::All ? pdGrid_.RowCount() - 1 : Count();
  const auto text = [&](int c, int r) -> std::string {
    if (c == kScaleColumn) return ScaleName(record_.Scale.at(r));
    if (c == 4) return StdErrorText(EffectiveScale(record_, r), record_.StdError.at(r), 6);
    return FormatSignificant(fields[c]->at(r), 6);
  };
  for (const int c : columns) {
    if (c < 1 || c >= kPDGridColumns) continue;
    for (int r = 1; r <= last; ++r) {
      pdGrid_.TextRef(c, r) = r <= Count() ? text(c, r) : "";
      if (pdGrid_.cursor_.IsCurrent(c, r)) pdGrid_.edited_ = false;
    }
  }
  ui_.Repaint(View::ParameterGrids);
}

void ParameterGrids::ToggleFixed(int i) {
  if (i < 1 || i > Room(record_)) return;
  Remember(0, i, record_.Fixed[i] ? 0.0 : 1.0);
  record_.Fixed[i] = !record_.Fixed[i];
  ui_.Repaint(View::ParameterGrids);
  fixedToggled_();
}

void ParameterGrids::StoreScale(int row, TScale scale) {
  Remember(kScaleColumn, row, static_cast<double>(scale));
  record_.Scale[row] = scale;
  // Errors computed on the old scale would be shown as if on the new one.
  record_.StdErrValid[row] = false;
  RefreshDetails({4, kScaleColumn}, RefreshRows::UpToCount);
}

void ParameterGrids::Store(ParameterGrid& grid, int col, int row, double v) {
  Remember(col, row, v);
  if (col == 1) {
    setParameterValue_(row, v);
    ParameterGrid& other = &grid == &paramGrid_ ? pdGrid_ : paramGrid_;
    other.TextRef(1, row) = grid.Text(1, row);
    if (other.cursor_.IsCurrent(1, row)) other.edited_ = false;
  } else if (col == 2 || col == 3) {
    SetBound(record_, row, col == 2 ? TBound::Min : TBound::Max, v);
  }
  ui_.Repaint(View::ParameterGrids);
}

double ParameterGrids::Cell(int col, int row) const {
  switch (col) {
    case 0:
      return record_.Fixed[row] ? 1.0 : 0.0;
    case 1:
      return record_.Value[row];
    case 2:
      return record_.MinBound[row];
    case 3:
      return record_.MaxBound[row];
    default:
      return static_cast<double>(record_.Scale[row]);
  }
}

void ParameterGrids::Remember(int col, int row, double after) {
  const double before = Cell(col, row);
  if (before == after) return;
  history_.Push({col, row, before, after});
}

void ParameterGrids::Apply(int col, int row, double v) {
  switch (col) {
    case 0:
      if ((record_.Fixed[row] != 0) != (v != 0.0)) {
        record_.Fixed[row] = !record_.Fixed[row];
        ui_.Repaint(View::ParameterGrids);
        fixedToggled_();
      }
      break;
    case 1:
      setParameterValue_(row, v);
      RefreshValueColumn(RefreshRows::UpToCount);
      RefreshDetails({1}, RefreshRows::UpToCount);
      break;
    case 2:
    case 3:
      SetBound(record_, row, col == 2 ? TBound::Min : TBound::Max, v);
      RefreshDetails({col}, RefreshRows::UpToCount);
      break;
    default:
      record_.Scale[row] = static_cast<TScale>(v);
      record_.StdErrValid[row] = false;
      RefreshDetails({4, kScaleColumn}, RefreshRows::UpToCount);
      break;
  }
  ui_.Repaint(View::ParameterGrids);
}

bool ParameterGrids::Replay(bool undo) {
  if (locked_) return false;
  const std::optional<Change> change = history_.Take(undo);
  if (!change) return false;
  // A row beyond a lowered count is still the record's: its value comes back with the count.
  if (change->Row >= 1 && change->Row <= Room(record_))
    Apply(change->Col, change->Row, undo ? change->Before : change->After);
  return true;
}

bool ParameterGrids::Undo() { return Replay(true); }
bool ParameterGrids::Redo() { return Replay(false); }

void ParameterGrids::ForgetEdits() { history_.Clear(); }

}  // namespace zelk
