#pragma once
// The workspace: everything a run of the workbench holds, owned once by the main window.
// Commands of the window are methods here; all talk to the user goes through UserInterface.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/data_file.h"
#include "base/data_file_reader.h"
#include "base/file_names.h"
#include "base/data_set.h"
#include "base/messages.h"
#include "base/preferences.h"
#include "estimation/fit_problem.h"
#include "estimation/objective.h"
#include "estimation/parameter_record.h"
#include "estimation/residual_test.h"
#include "estimation/search_run.h"
#include "model/message_log.h"
#include "model/model_language.h"
#include "model/model_library.h"
#include "model/solver.h"
#include "presentation/debug_grid.h"
#include "presentation/fit_chart.h"
#include "presentation/visibility_tree.h"
#include "workspace/compile_session.h"
#include "workspace/covariance_grid.h"
#include "workspace/data_grid.h"
#include "workspace/dimension_controls.h"
#include "workspace/run_controller.h"
#include "workspace/fit_chart_session.h"
#include "workspace/parameter_grids.h"
#include "workspace/flow_texts.h"
#include "workspace/user_interface.h"

namespace zelk {

class Workspace : private RunHost, private CompileHost, private ChartHost {
 public:
  explicit Workspace(UserInterface& ui);
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  // The start sequence: model reset, grid emptied and labelled, parameters and data reset,
  // pages Data, Dimension and Messages in front. Call once the window is bound.
  void Start();

  // --- documents
  TDataSet MeasuredData;
  TDataSet ChartData;
  TParameterRecord Parameters = StartParameterRecord();
  TModel Model;
  std::string DataFileName;
  std::string ModelFileName;
  bool DataSaved = false;
  TPreferences Preferences;
  TZelkPrefs& Prefs = Preferences.General;
  // Where the preferences are read at start and written at close; empty: neither (tests,
  // and tools that must not touch the user's settings).
  std::string PreferencesFile;
  MessageLog Log;

  // --- computations
  int ExperimentCount = 0;
  int MissingCount = 0;

  VisibilityTree BranchList;
  DebugGrid Debug;

  DataGrid& Grid() { return grid_; }
  ParameterGrids& ParamGrids() { return paramGrids_; }
  UserInterface& Ui() override { return ui_; }

  // --- dimensions
  DimensionControls& Dimensions() { return dimensions_; }
  const DimensionControls& Dimensions() const { return dimensions_; }
  // Both parameter grids from the record, rows beyond Count emptied.
  void RefreshParameterGrids();

  // --- saved states and their panels
  // `dataChanged` false: the data are as they were (a save), and the fit's results stay.
  void SetDataSaved(bool saved, bool dataChanged = true);
  void SetModelSaved(bool saved);
  // The document's name, shown in its panel at once.
  // Both also put the file first in File > Recent.
  void SetDataFileName(const std::string& path);
  void SetModelFileName(const std::string& path);
  // Puts `path` first in the recent files (or, not `add`, takes it out).
  void RememberRecent(const std::string& path, bool add = true);
  std::string DataPanelText() const;
  std::string ModelPanelText() const;
  std::string CompilePanelText() const;
  // Yes saves (whatever the outcome) and goes on, No goes on, Cancel stops.
  bool ConfirmDiscardData();
  bool ConfirmDiscardModel();

  void ResetDataSet();
  // Forgets the model: counts 0, untitled and saved, not compiled, library unloaded.
  void ResetModel();
  // The fit chart's manual axis ranges (Fit Chart Properties), largest value first: they hold
  // through every data refresh until the user sets the axis back to automatic. A bound that
  // is no number is left to the data.
  struct ManualRange {
    bool Manual = false;
    std::optional<double> Max, Min;
  };
  ManualRange ChartXRange, ChartYRange;
  // The manual ranges over the data's ranges of MeasuredData, and the result into ChartData.
  void ApplyChartRanges();
  // A new or opened model or data set: the design overlay, the covariances and the residual
  // test of the old fit go.
  void ClearResults();
  // Panel 2 follows; nothing happens when the state does not change.
  void SetCompiled(bool compiled) override;
  // Ranges, the chart's data set, the counts, the Debug grid and the visibility tree; run
  // by every SetDataSaved. Changed data also forget the fit's counters, standard errors and
  // limits.
  void RefreshChartData(bool dataChanged = true);
  void ForgetResults();
  // The experiment design's data set got new points: the Debug grid.
  void RefreshDesignRanges();

  // --- data file
  // Returns true on success. Messages for refused files; on an input/output error
  // `ioError` becomes true and nothing of the data set has changed.
  bool ReadDataFile(const std::string& path, bool* ioError = nullptr);
  // The reader the lower-cased extension names: ".zkd" or ".gr2"; ".grd" and any other
  // extension are refused with their message.
  bool ReadAnyDataFile(const std::string& path, bool* ioError = nullptr);
  bool WriteDataFile(const std::string& path);

  // --- commands
  void NewDataFile();
  void OpenDataFile();
  // Reads the data file at `path` (the user agreed to discard the current set).
  void OpenDataPath(const std::string& path);
  // File > Recent: a model (".mod") or data file, after the question about unsaved changes;
  // a file that is gone leaves the list with a message.
  void OpenRecent(const std::string& path);
  void SaveDataFile();
  void SaveDataFileAs();
  // Edit menu: on the data grid, a parameter grid or the focused text editor.
  void CutAction() { EditCommand(EditOp::Cut); }
  void CopyAction() { EditCommand(EditOp::Copy); }
  void PasteAction() { EditCommand(EditOp::Paste); }
  void DeleteAction() { EditCommand(EditOp::Delete); }
  void UndoAction() { EditCommand(EditOp::Undo); }
  void RedoAction() { EditCommand(EditOp::Redo); }
  void EditCommand(EditOp op);

  // --- model documents: the editor's text and the .mod / .dim pair
  std::string ModelText;
  // The names the model text gives its parameters and responses; follows every change of it.
  ModelNames Names;
  std::size_t ModelCaret = 0;  // byte offset the program last put the caret at
  // The editor's text changed (typing, pasting): the model is modified and not compiled.
  void ModelTextChanged(const std::string& text);
  // The program replaces the editor's text; counts as a change.
  void ReplaceModelText(const std::string& text);
  bool WriteModelFile(const std::string& path);
  bool WriteDimensionFile(const std::string& path);
  bool ReadModelFile(const std::string& path);
  // File > Import: a PEtab problem (petab) or an SBML model, written as a project where the
  // user says and opened: model, data, parameters.
  void ImportProblem(bool petab);
  // The same without dialogs, for a chosen problem and model file name; false after the message.
  bool ImportProblemAs(const std::string& problem, const std::string& modelPath);
  bool ReadDimensionFile(const std::string& path);
  void NewModelFile();
  void OpenModelFile();
  // Reads the model file at `path` and compiles it when set to (the user agreed to discard
  // the current model).
  void OpenModelPath(const std::string& path);
  void SaveModelFile();
  void SaveModelFileAs();

  // --- translation and compilation
  CompileSession& Compiler() { return compiler_; }
  const CompileSession& Compiler() const { return compiler_; }
  void GenerateSource() { compiler_.TranslateModel(); }
  void CompileAction() { compiler_.Compile(); }
  void CompilePascalAction() { compiler_.CompilePascal(); }
  // A library that arrives while a computation runs is loaded at a later tick, after it.
  void CompileTimerTimer() {
    if (!estimation_.Running()) compiler_.TimerTick();
  }

  // --- solutions and long computations
  // The model fitted to the measured data, with the objective in use and the counters.
  FitProblem& Problem() { return problem_; }
  const FitProblem& Problem() const { return problem_; }
  // --- estimation: the objective, the best value, the counters, the searches and their runs
  RunController& Estimation() { return estimation_; }
  const RunController& Estimation() const { return estimation_; }
  void OptimizeAction() { RandomSearch(estimation_.Ground(), {}); }
  void OptimizeLJAction() { RegionSearchLJ(estimation_.Ground(), {}); }
  void OptimizeGNAction() { GaussNewtonSearch(estimation_.Ground(), {}); }
  void OptimizeWLAction() { RegionSearchWL(estimation_.Ground(), {}); }
  void OptimizeLMAction() {
    LMSearch(estimation_.Ground(), {.Search = kLMSearch, .Tolerances = LMTolerancesOf(Prefs)});
  }
  // Compute > Multi-start: the preferences' count of starts from the values and a Latin
  // hypercube inside the bounds, each an LM fit, on every core.
  void MultiStartAction();
  // The Flow page's LM tolerances (0 objective, 1 parameters, 2 gradient) as typed: a number
  // from 1e-16 to 0.1 goes into the preferences; anything else is refused with a message.
  bool SetLMTolerance(int which, const std::string& text);
  void StdErr() { estimation_.StdErr(); }
  void CovariancesAction() { estimation_.CovariancesAction(); }
  // "&F-Limit" for the details grid's current cell; "&All F-Limits".
  void FLimitAction();
  void AllFLimitsAction() { estimation_.AllFLimitsAction(); }
  CovarianceGrid CovarGrid;

  // --- residual autocorrelation test
  TResidualTest ResidualTest;  // of the last test, the graph's paints included
  // ACGrid's texts of the last command: headings, then one row per response.
  std::vector<std::array<std::string, kResidualGridColumns>> ResidualGrid;
  // "Autocorelation &Test".
  void ResidualAction();
  // ACGraph's paint: the test again with the current values, then the bars. False when the
  // test could not be made and nobody has been told since it last succeeded; the view then
  // calls ReportResidualPaintFailure once it has finished painting.
  bool PaintResidualGraph(Canvas& canvas, int width);
  void ReportResidualPaintFailure() { ShowError(msg::kInitialSolveFailed); }

  // --- parameter files
  // "&Export Parameters..." and "&Import Parameters...". An import replaces the whole record
  // and makes the next search evaluate the imported values.
  void ExportParametersAction();
  void ImportParametersAction();
  bool WriteParameterFile(const std::string& path);
  bool ImportParameterFile(const std::string& path);

  // --- report
  std::vector<RichLine> Report;  // the last report built
  void BuildReport();
  // "&Report Preview", "&Print Report ...", "&Save ...".
  void ReportPreviewAction();
  void PrintReportAction();
  void SaveReport();

  // --- experiment design
  // "Design next point ...": the dialog, then the design search; the points go to the chart
  // in design mode. The dialog keeps its texts between uses.
  void DesignPointAction();
  DesignDialogModel DesignDialog;
  // The design of `count` points in [min, max] onto the chart; false after a message, or when
  // no design raised the determinant above 0 (the chart keeps its points then).
  bool RunDesign(int count, double min, double max, const SearchOptions& options);
  // A start value typed or read: what depended on the old value is no longer current.
  void SetParameterValue(int i, double v);
  // What no longer belongs to the documents: the best objective with the F-limit threshold
  // measured from it, the chart's model curve, or both.
  enum class Stale : unsigned { Fit = 1, Curve = 2, Everything = 3 };
  void Invalidate(Stale what);

  // --- pictures of the fit
  // "Export ..." of a picture's pop-up menu: a PNG or SVG file, by the extension chosen, of
  // `paint` at W x H. `name` is proposed beside the model. False when cancelled or failed.
  bool ExportPicture(const std::string& name, int W, int H,
                     const std::function<void(Canvas&)>& paint);

  // --- fit chart
  FitChartSession& Chart() { return chart_; }
  // The measured values beside the model's at the current parameters (C), for the
  // observed/predicted plots: solved once after each change and not while a computation
  // runs (the last ones stay meanwhile); nothing when the model gives no values.
  const TYData* PredictedData();
  // View > Logarithmic Y Axis and View > Legend of the fit chart.
  void ToggleLogYAxis();
  void ToggleLegend();
  const FitChartSession& Chart() const { return chart_; }
  void PaintBoundary() { chart_.PaintBoundary(); }
  void DesignModeAction() { chart_.DesignModeAction(); }
  void ExportFitchart() { chart_.ExportFitchart(); }
  void PrintFitChartAction() { chart_.PrintFitChartAction(); }

  // --- stop
  // The close sequence; true when the window may close now. A close confirmed while a
  // computation runs returns false and the window is closed once the computation returned.
  bool RequestClose();
  // Called once when the window closes. The model library stays loaded until the process
  // ends, so that nothing the model left behind runs after it is gone.
  void Shutdown();

 private:
  // The dimension fields' positions into the data set, the model and the parameters.
  void ApplyDimensions();
  // What the run controller asks of its host.
  void HoldEdits(bool held) override;
  void Follow(FitChange what) override;
  void Say(Severity severity, const std::string& text) override;
  void RememberChoices(TObjectiveKind objective, TOperation search) override;
  bool ConfirmDiscard(const bool& saved, const char* question, void (Workspace::*save)());
  // A file read by the base readers into the data set, or its refusal shown.
  bool ApplyDataFile(const DataFileRead& read, bool* ioError);

  void ShowError(const std::string& text) override;
  // What the compile session asks of its host.
  TModel& ModelObject() override { return Model; }
  const std::string& ModelPath() const override { return ModelFileName; }
  const std::string& ModelSource() const override { return ModelText; }
  ModelCounts Counts() const override {
    return {Model.DifEqCount, MeasuredData.YData.DepCount, Parameters.Count,
            MeasuredData.XData.IndepCount};
  }
  const TZelkPrefs& Settings() const override { return Prefs; }
  bool SaveModelFirst() override;
  void PlaceModelCaret(std::size_t at) override;
  void LibraryChanged() override;
  void AddMessage(const std::string& line) override { Log.AddMessage(line); }
  // What the fit chart session asks of its host.
  FitChartScene Scene() const override {
    return {MeasuredData, ChartData, Preferences.Series, Preferences.Descriptions, BranchList,
            &Names, Preferences.General.LogYAxis, Preferences.General.ChartLegend};
  }
  const TParameterRecord& ParameterRecord() const override { return Parameters; }
  SolveResult SolveChart(const T20Vector& parameters) override;
  std::pair<int, int> DetailsCell() const override;

  UserInterface& ui_;
  const MessageSink boxes_;  // the model layer's messages, as boxes
  FitProblem problem_{Model, MeasuredData, Prefs, Log};
  RunController estimation_{problem_, Parameters, *this};
  CompileSession compiler_{*this};
  TDataSet predicted_;
  bool predictedStale_ = true, predictedHeld_ = false;
  FitChartSession chart_{*this};
  DataGrid grid_;
  ParameterGrids paramGrids_;
  DimensionControls dimensions_{ui_, [this] { ApplyDimensions(); }};
  // Solves Value on the measured data and tests its residuals; false when it cannot.
  bool RunResidualTest(bool reportFailure);
  bool residualFailureTold_ = false;
  std::chrono::steady_clock::time_point debugShown_{};  // the design's last Debug refresh
};

// A dialog for a document: the name part of `currentPath` is proposed, and `rememberedFolder`
// is where it starts when that folder still exists.
FileDialogRequest DocumentDialog(const char* title, const char* filter, const char* extension,
                                 const std::string& currentPath,
                                 const std::string& rememberedFolder = "");

}  // namespace zelk
