#include "workspace/workspace.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <utility>

#include "base/csv_table.h"
#include "base/data_file.h"
#include "base/file_names.h"
#include "base/format.h"
#include "base/messages.h"
#include "presentation/chart_data.h"

namespace zelk {

namespace fs = std::filesystem;

FileDialogRequest DocumentDialog(const char* title, const char* filter, const char* extension,
                                 const std::string& currentPath,
                                 const std::string& rememberedFolder) {
  FileDialogRequest request;
  request.Title = title;
  request.Filter = filter;
  request.DefaultExtension = extension;
  request.ProposedName = FileNamePart(currentPath);
  std::error_code ec;
  if (!rememberedFolder.empty() && fs::is_directory(rememberedFolder, ec))
    request.StartFolder = rememberedFolder;
  return request;
}

Workspace::Workspace(UserInterface& ui)
    : Log([&ui] { ui.Repaint(View::Messages); }),
      BranchList([&ui] { ui.Repaint(View::FitChart); }),
      ui_(ui),
      boxes_(BoxesOf(ui)),
      grid_(MeasuredData, Names, ui, [this] { SetDataSaved(false); }),
      paramGrids_(
          Parameters, estimation_.Result, Names, ui, [this](int i, double v) { SetParameterValue(i, v); },
          [this] { ui_.Repaint(View::ParameterGrids); }) {
  problem_.Say = boxes_;
}

void Workspace::Start() {
  if (!PreferencesFile.empty()) LoadPreferences(PreferencesFile, Preferences);
  // The objective type and the Optimize button's search the last session ended with.
  problem_.ObjectiveKind = Prefs.Objective <= static_cast<int>(TObjectiveKind::Likelihood)
                               ? static_cast<TObjectiveKind>(Prefs.Objective)
                               : TObjectiveKind::SumOfSquares;
  if (FindSearch(static_cast<TOperation>(Prefs.LastSearch)))
    estimation_.OptimizeButtonSearch = static_cast<TOperation>(Prefs.LastSearch);
  ResetModel();
  grid_.RewriteFromData();
  grid_.Label();
  Parameters = StartParameterRecord();
  estimation_.FailedSolves = 0;
  estimation_.AbandonedSolves = 0;
  ResetDataSet();
  estimation_.OperationMode = kIdle;
  RefreshParameterGrids();
  ui_.ShowPage(Page::Data);
  ui_.ShowPage(Page::Dimension);
  ui_.ShowPage(Page::Messages);
}

void Workspace::ShowError(const std::string& text) {
  ui_.ShowMessage(MessageKind::Error, text, Buttons::Ok);
}

// ---------------------------------------------------------------- dimensions

void Workspace::ApplyDimensions() {
  Model.DifEqCount = dimensions_.Position(Dimension::DifEq);
  Model.AlgEqCount = dimensions_.Position(Dimension::AlgEq);
  Resize(Parameters, dimensions_.Position(Dimension::Param));
  const int indep = dimensions_.Position(Dimension::Indep);
  const int dep = dimensions_.Position(Dimension::Dep);
  const int events = dimensions_.Position(Dimension::Events);
  if (!FitsInMemory(events, indep, dep)) {
    ShowError(FillPlaceholders(msg::kDimensionsTooLarge,
                               {std::to_string(events), std::to_string(indep + dep),
                                std::to_string(kMaxDataCells)}));
    return;
  }
  Hold(MeasuredData, events, indep, dep);
  MeasuredData.YData.DepCount = dep;
  if (indep != MeasuredData.XData.IndepCount) {
    MeasuredData.XData.IndepCount = indep;
    grid_.FollowIndepCount();
    grid_.RewriteFromData();
  }
  MeasuredData.YData.EventCount = events;
  ui_.Repaint(View::DataGrid);
  SetModelSaved(false);
  SetDataSaved(false);
  RefreshParameterGrids();
}

void Workspace::RefreshParameterGrids() {
  paramGrids_.RefreshValueColumn(RefreshRows::All);
  paramGrids_.RefreshDetails({1, 2, 3, 4, 5, 6, kScaleColumn}, RefreshRows::All);
  ui_.Repaint(View::ParameterGrids);
}

// ---------------------------------------------------------------- saved states

std::string Workspace::DataPanelText() const {
  return (DataFileName.empty() ? msg::kUntitledData : FileNamePart(DataFileName)) +
         (DataSaved ? msg::kSaved : msg::kModified);
}

std::string Workspace::ModelPanelText() const {
  return (ModelFileName.empty() ? msg::kUntitledModel : FileNamePart(ModelFileName)) +
         (Model.ModelSaved ? msg::kSaved : msg::kModified);
}

std::string Workspace::CompilePanelText() const {
  if (compiler_.TimerEnabled) return msg::kCompiling;
  return Model.ModelCompiled ? msg::kCompiled : msg::kNotCompiled;
}

void Workspace::RefreshChartData(bool dataChanged) {
  if (dataChanged) ForgetResults();
  const DataCounts counts = zelk::RefreshChartData(MeasuredData, ChartData, Model.DifEqCount);
  ApplyChartRanges();
  Invalidate(Stale::Curve);
  ExperimentCount = counts.ExperimentCount;
  MissingCount = counts.MissingCount;
  ui_.Repaint(View::FitChart);
  Debug.Show(ChartData, Names);
  ui_.Repaint(View::Debug);
  BranchList.Rebuild(MeasuredData);
}

void Workspace::ForgetResults() {
  estimation_.TotalCalls = 1;
  estimation_.SuccessfulCalls = 1;
  // The results computed for the old data are gone; the user's fixed marks stay, and
  // standard errors are marked not computed rather than shown as zeros.
  const T20Vector values = Parameters.Value;
  Parameters.Value = Parameters.TrialValue = Parameters.HiFLimit = Parameters.LoFLimit = values;
  for (int i = 1; i <= Parameters.Count; ++i) {
    Parameters.StdError[i] = 0;
    Parameters.StdErrValid[i] = false;
    Parameters.HiFValid[i] = false;
    Parameters.LoFValid[i] = false;
  }
}

void Workspace::ApplyChartRanges() {
  const auto apply = [](const ManualRange& manual, std::array<double, 2>& measured,
                        std::array<double, 2>& chart) {
    if (manual.Manual && manual.Max) measured[0] = *manual.Max;
    if (manual.Manual && manual.Min) measured[1] = *manual.Min;
    chart = measured;
  };
  apply(ChartXRange, MeasuredData.XData.Range, ChartData.XData.Range);
  apply(ChartYRange, MeasuredData.YData.Range, ChartData.YData.Range);
}

void Workspace::RefreshDesignRanges() {
  Debug.Show(problem_.DesignData(), Names);
  ui_.Repaint(View::Debug);
}

void Workspace::SetDataSaved(bool saved, bool dataChanged) {
  RefreshChartData(dataChanged);
  if (saved == DataSaved) return;
  DataSaved = saved;
  ui_.SetStatusPanel(0, DataPanelText());
}

void Workspace::SetModelSaved(bool saved) {
  // An untitled model without text holds nothing to save, whatever the counts say.
  saved = saved || (ModelFileName.empty() && ModelText.empty());
  if (saved == Model.ModelSaved) return;
  Model.ModelSaved = saved;
  ui_.SetStatusPanel(1, ModelPanelText());
}

bool Workspace::ConfirmDiscard(const bool& saved, const char* question, void (Workspace::*save)()) {
  if (saved) return true;
  const Answer answer = ui_.ShowMessage(MessageKind::Warning, question, Buttons::YesNoCancel);
  if (answer != Answer::Yes) return answer == Answer::No;
  // A save that was cancelled in its dialog, or failed, ends the whole operation: the
  // document stays as it is rather than being lost.
  (this->*save)();
  return saved;
}

bool Workspace::ConfirmDiscardData() {
  return ConfirmDiscard(DataSaved, msg::kDiscardData, &Workspace::SaveDataFile);
}

bool Workspace::ConfirmDiscardModel() {
  return ConfirmDiscard(Model.ModelSaved, msg::kDiscardModel, &Workspace::SaveModelFile);
}

// ---------------------------------------------------------------- resets

void Workspace::ResetDataSet() {
  ClearResults();
  Invalidate(Stale::Curve);
  DataFileName.clear();
  DataSaved = false;
  SetDataSaved(true);

  // A fresh set: a large one's memory goes with it.
  MeasuredData = TDataSet{};
  dimensions_.Reset(Dimension::Indep, 1);
  dimensions_.Reset(Dimension::Dep, 1);
  dimensions_.Reset(Dimension::Events, 1);
  Invalidate(Stale::Fit);
  estimation_.Forget();
  estimation_.FailedSolves = 0;
  estimation_.AbandonedSolves = 0;
  ui_.Repaint(View::Dimensions);
  ui_.Repaint(View::DataGrid);
}

void Workspace::ClearResults() {
  chart_.DesignPoints = {};
  chart_.DesignPointCount = 0;
  chart_.DesignModeChecked = false;
  estimation_.Result.DesignPoints.clear();
  CovarGrid = {};
  ResidualGrid.clear();
  ResidualTest = {};
  ui_.Repaint(View::FitChart);
  ui_.Repaint(View::Covariances);
  ui_.Repaint(View::Residuals);
}

void Workspace::ResetModel() {
  ClearResults();
  paramGrids_.ForgetEdits();
  Model.DifEqCount = 0;
  Model.AlgEqCount = 0;
  estimation_.FailedSolves = 0;
  estimation_.AbandonedSolves = 0;
  ModelFileName.clear();
  // Both states flip so that the two panels are always rewritten.
  Model.ModelSaved = false;
  Model.ModelCompiled = true;
  SetModelSaved(true);
  SetCompiled(false);
  Model.UnloadModelLibrary(boxes_);
  dimensions_.Reset(Dimension::DifEq, 0);
  dimensions_.Reset(Dimension::AlgEq, 0);
  Parameters.Count = 1;
  dimensions_.Reset(Dimension::Param, 1);
  std::fill(Model.DyTemplate.begin(), Model.DyTemplate.end(), 0.0);
  Invalidate(Stale::Everything);
  estimation_.Forget();
}

void Workspace::SetCompiled(bool compiled) {
  Model.ModelCompiled = compiled;
  ui_.SetStatusPanel(2, CompilePanelText());
}

bool Workspace::SaveModelFirst() {
  if (Model.ModelSaved) return true;
  if (ui_.ShowMessage(MessageKind::Warning, msg::kSaveModelFirst, Buttons::OkCancel) != Answer::Ok)
    return false;
  SaveModelFile();
  return true;
}

void Workspace::PlaceModelCaret(std::size_t at) {
  ModelCaret = at;
  ui_.Repaint(View::ModelCaret);
}

SolveResult Workspace::SolveChart(const T20Vector& parameters) {
  std::uint8_t& mode = estimation_.OperationMode;
  const std::uint8_t saved = mode;
  mode = kFitChartSolution;
  const SolveResult result = problem_.SolveData(parameters, ChartData);
  mode = saved;
  return result;
}

std::pair<int, int> Workspace::DetailsCell() const {
  const ParameterGrid& grid = paramGrids_.PDGrid();
  return {grid.CurrentColumn(), grid.CurrentRow()};
}

const TYData* Workspace::PredictedData() {
  if (predictedStale_ && !estimation_.Running()) {
    predictedStale_ = false;
    predictedHeld_ = false;
    // Without a library the solver would put up its own box inside a paint.
    if (!Model.LibFileName.empty() && MeasuredData.YData.EventCount > 0) {
      predicted_ = MeasuredData;
      std::uint8_t& mode = estimation_.OperationMode;
      const std::uint8_t saved = std::exchange(mode, kFitChartSolution);
      predictedHeld_ = problem_.SolveData(Parameters.Value, predicted_) == SolveResult::Solved;
      mode = saved;
    }
  }
  return predictedHeld_ ? &predicted_.YData : nullptr;
}

void Workspace::ToggleLogYAxis() {
  Prefs.LogYAxis = !Prefs.LogYAxis;
  ui_.Repaint(View::FitChart);
}

void Workspace::ToggleLegend() {
  Prefs.ChartLegend = !Prefs.ChartLegend;
  ui_.Repaint(View::FitChart);
}

void Workspace::LibraryChanged() { Invalidate(Stale::Curve); }

void Workspace::Invalidate(Stale what) {
  const auto has = [what](Stale part) {
    return (static_cast<unsigned>(what) & static_cast<unsigned>(part)) != 0;
  };
  if (has(Stale::Fit)) estimation_.ObjectiveReady = estimation_.LimitReady = false;
  if (has(Stale::Curve)) {
    chart_.CurveReady = false;
    predictedStale_ = true;
    ui_.Repaint(View::FitChart);
  }
}

// ---------------------------------------------------------------- data file

bool Workspace::WriteDataFile(const std::string& path) {
  if (!grid_.CommitEditedCell()) return false;
  const bool csv = LowercaseExtension(path) == ".csv";
  if (!csv && !FitsDataFile(MeasuredData)) {
    ShowError(DataFileLimitsMessage(MeasuredData));
    return false;
  }
  std::vector<std::uint8_t> bytes;
  if (csv) {
    const std::string text = DataSetToCsv(MeasuredData);
    bytes.assign(text.begin(), text.end());
  } else {
    bytes = EncodeDataFile(MeasuredData);
  }
  std::string reason;
  if (!WriteFileReplacing(path, bytes, reason)) {
    ShowError(std::string(msg::kSaveFailed) + "\n" + reason);
    return false;
  }
  return true;
}

// ---------------------------------------------------------------- commands

void Workspace::NewDataFile() {
  if (ConfirmDiscardData()) {
    ResetDataSet();
    grid_.RewriteFromData();
    grid_.ForgetEdits();
    grid_.Label();
  }
  ui_.ShowPage(Page::Data);
}

void Workspace::OpenDataFile() {
  if (!ConfirmDiscardData()) {
    ui_.ShowPage(Page::Data);
    return;
  }
  const auto chosen = ui_.OpenFileDialog(DocumentDialog(msg::kOpenDataTitle, msg::kOpenDataFilter,
                                                        "zkd", DataFileName, Prefs.DataLocation));
  if (chosen)
    OpenDataPath(*chosen);
  else
    ui_.ShowPage(Page::Data);
}

void Workspace::OpenDataPath(const std::string& path) {
  bool ioError = false;
  const bool read = ReadAnyDataFile(path, &ioError);
  if (ioError) return;
  if (read) {
    ClearResults();
    SetDataFileName(path);
    SetDataSaved(true);
  }
  Prefs.DataLocation = fs::path(path).parent_path().string();
  ui_.ShowPage(Page::Data);
}

void Workspace::EditCommand(EditOp op) {
  switch (ui_.FocusedEditTarget()) {
    case EditTarget::DataGrid:
      switch (op) {
        case EditOp::Cut:
          grid_.Cut();
          break;
        case EditOp::Copy:
          grid_.Copy();
          break;
        case EditOp::Paste:
          grid_.Paste(ui_.ClipboardText());
          break;
        case EditOp::Delete:
          grid_.ClearSelection();
          SetDataSaved(false);  // whatever the answer
          break;
        case EditOp::Undo:
          grid_.Undo();
          break;
        case EditOp::Redo:
          grid_.Redo();
          break;
      }
      break;
    case EditTarget::ParameterGrid:
      if (op == EditOp::Undo) paramGrids_.Undo();
      if (op == EditOp::Redo) paramGrids_.Redo();
      break;
    case EditTarget::TextEditor:
      ui_.EditFocusedText(op);
      break;
    case EditTarget::None:
      break;
  }
}

void Workspace::SaveDataFile() {
  // An imported set keeps its source's name, but only the own formats are ever written: a
  // foreign file is never overwritten, the user chooses a ".zkd" or ".csv" name instead.
  const std::string ext = LowercaseExtension(DataFileName);
  if (DataFileName.empty() || (ext != ".zkd" && ext != ".csv")) {
    SaveDataFileAs();
    return;
  }
  if (WriteDataFile(DataFileName)) SetDataSaved(true, false);
}

void Workspace::SaveDataFileAs() {
  // A set the .zkd layout cannot hold is offered as CSV only.
  const bool fits = FitsDataFile(MeasuredData);
  const char* ext = fits ? ".zkd" : ".csv";
  FileDialogRequest request = DocumentDialog(
      msg::kSaveDataTitle, fits ? msg::kSaveDataFilter : msg::kSaveLargeDataFilter, ext + 1,
      DataFileName);
  const std::string current = LowercaseExtension(DataFileName);
  if (!DataFileName.empty() && current != ext && (fits ? current != ".csv" : true)) {
    request.ProposedName = ProposedName(DataFileName, ext);
    request.StartFolder = fs::path(DataFileName).parent_path().string();
  }
  request.ConfirmOverwrite = true;
  const auto chosen = ui_.SaveFileDialog(request);
  if (!chosen || !WriteDataFile(*chosen)) return;
  SetDataFileName(*chosen);
  SetDataSaved(true, false);
}

// The saved flag's setters rewrite a panel only when the flag changes; a new name shows at once.
void Workspace::SetDataFileName(const std::string& path) {
  DataFileName = path;
  ui_.SetStatusPanel(0, DataPanelText());
  RememberRecent(path);
}

void Workspace::SetModelFileName(const std::string& path) {
  ModelFileName = path;
  ui_.SetStatusPanel(1, ModelPanelText());
  RememberRecent(path);
}

void Workspace::RememberRecent(const std::string& path, bool add) {
  if (path.empty()) return;
  auto& recent = Prefs.RecentFiles;
  std::vector<std::string> list(recent.begin(), recent.end());
  std::erase(list, path);
  std::erase(list, std::string());
  if (add) list.insert(list.begin(), path);
  list.resize(recent.size());
  std::copy(list.begin(), list.end(), recent.begin());
}

void Workspace::OpenRecent(const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) {
    RememberRecent(path, false);
    ShowError(std::string(msg::kOpenFailed) + "\n" + path + ": " + msg::kRecentGone);
    return;
  }
  if (LowercaseExtension(path) == ".mod") {
    if (ConfirmDiscardModel()) OpenModelPath(path);
  } else if (ConfirmDiscardData()) {
    OpenDataPath(path);
  }
}

// ---------------------------------------------------------------- stop

bool Workspace::RequestClose() {
  if (estimation_.CloseConfirmed()) return !estimation_.Running();
  if (!estimation_.AskToStop()) return false;
  if (!ConfirmDiscardData()) return false;
  if (!ConfirmDiscardModel()) return false;
  return estimation_.ConfirmClose();
}

void Workspace::Shutdown() {
  std::string error;
  if (!PreferencesFile.empty() && !SavePreferences(PreferencesFile, Preferences, error))
    ShowError(FillPlaceholders(msg::kPreferencesNotSaved, {PreferencesFile, error}));
}

void Workspace::HoldEdits(bool held) {
  grid_.SetLocked(held);
  paramGrids_.SetLocked(held);
  ui_.SetRunning(held);
}

}  // namespace zelk
