#pragma once
// TMForm, the main window: owns the workspace, shows it and carries the user's commands to
// it. It is also the workspace's UserInterface.

#include <QMainWindow>
#include <array>
#include <memory>

#include "qtpaint/qt_canvas.h"
#include "workspace/fit_properties_model.h"
#include "workspace/options_dialog_model.h"
#include "workspace/user_interface.h"
#include "workspace/workspace.h"

class QLabel;
class QPlainTextEdit;
class QTabWidget;
class QAction;
class QTimer;
class QPrinter;

namespace zelk {

class CovariancePage;
class ProfilesPage;
class ResidualPage;
class DesignDialog;
class ReportBox;

class DataGridView;
class DimensionPage;
class TProcessTool;
class TOptionsDlg;
class FlowPage;
class ParameterGridView;
class VisibilityPage;
class DebugGridView;
class FitChartView;
class TFitPropDlg;

class TMForm : public QMainWindow, public UserInterface {
 public:
  explicit TMForm(QWidget* parent = nullptr);
  ~TMForm() override;

  Workspace& Ws() { return *ws_; }
  QTabWidget* RightPages() const { return right_; }
  QTabWidget* UpperLeftPages() const { return upperLeft_; }
  QTabWidget* LowerLeftPages() const { return lowerLeft_; }
  QLabel* StatusPanel(int index) const { return panels_.at(index); }
  DataGridView* Grid() const { return gridView_; }
  DimensionPage* Dimensions() const { return dimensionPage_; }
  QAction* Command(const char* name) const;

  // UserInterface
  Answer ShowMessage(MessageKind kind, const std::string& text, Buttons buttons) override;
  std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override;
  std::optional<std::string> SaveFileDialog(const FileDialogRequest& request) override;
  void ProcessEvents() override;
  void ShowPage(Page page) override;
  void SetStatusPanel(int index, const std::string& text) override;
  void Repaint(View view) override;
  void SetClipboardText(const std::string& text) override;
  std::string ClipboardText() override;
  EditTarget FocusedEditTarget() override;
  void EditFocusedText(EditOp op) override;
  void CloseMainWindow() override;
  void ShowProgress(bool shown) override;
  void SetRunning(bool running) override;
  void EnableCompileTimer(bool enabled) override;
  bool RunDesignDialog(DesignDialogModel& dialog) override;
  std::vector<RichLine> ReportText() override;
  bool PrintReport(const std::function<void()>& build) override;
  ReportBox* Report() const { return reportBox_; }
  DesignDialog* DesignDlg() const { return designDialog_; }
  std::pair<int, int> FitChartSize() override;
  const TextMeasure& ReferenceTextMeasure() override { return textMeasure_; }
  std::string WritePicture(const std::string& path, int width, int height,
                           const std::function<void(Canvas&)>& draw) override;
  bool PrintPage(const std::function<void(Canvas&, int width, int height)>& draw) override;
  // One page on a printer that is ready; the print dialog has been answered.
  void PrintOn(QPrinter& printer, const std::function<void(Canvas&, int, int)>& draw);

  QPlainTextEdit* ModelEditor() const { return modelEditor_; }
  QPlainTextEdit* SourceView() const { return sourceView_; }
  QTimer* CompileTimer() const { return compileTimer_; }

  TProcessTool* ProcessTool() const { return processTool_; }
  TOptionsDlg* OptionsDialog() const { return optionsDialog_; }
  FlowPage* Flow() const { return flowPage_; }
  ParameterGridView* ParamGridView() const { return paramGridView_; }
  ParameterGridView* PDGridView() const { return pdGridView_; }
  VisibilityPage* Visibility() const { return visibilityPage_; }
  DebugGridView* DebugView() const { return debugView_; }
  CovariancePage* Covariances() const { return covariancePage_; }
  ResidualPage* Residuals() const { return residualPage_; }
  QPlainTextEdit* MessagePane() const { return messages_; }
  FitChartView* FitChart() const { return fitChartView_; }
  TFitPropDlg* FitPropDialog() const { return fitPropDialog_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildPages();
  void BuildMenus();
  void ShowSourcePage(bool shown);
  std::optional<std::string> RunFileDialog(const FileDialogRequest& request, bool save);

  // Built before the workspace starts, because starting it already paints.
  QTabWidget* right_ = nullptr;
  QTabWidget* upperLeft_ = nullptr;
  QTabWidget* lowerLeft_ = nullptr;
  std::array<QLabel*, kRunningPanel + 1> panels_{};
  std::unique_ptr<Workspace> ws_;
  DataGridView* gridView_ = nullptr;
  DimensionPage* dimensionPage_ = nullptr;
  QPlainTextEdit* messages_ = nullptr;
  TProcessTool* processTool_ = nullptr;
  std::unique_ptr<OptionsDialogModel> optionsModel_;
  TOptionsDlg* optionsDialog_ = nullptr;
  FlowPage* flowPage_ = nullptr;
  QAction* optimizeButton_ = nullptr;
  ParameterGridView* paramGridView_ = nullptr;
  ParameterGridView* pdGridView_ = nullptr;
  VisibilityPage* visibilityPage_ = nullptr;
  DebugGridView* debugView_ = nullptr;
  CovariancePage* covariancePage_ = nullptr;
  ProfilesPage* profilesPage_ = nullptr;
  ResidualPage* residualPage_ = nullptr;
  DesignDialog* designDialog_ = nullptr;
  ReportBox* reportBox_ = nullptr;
  FitChartView* fitChartView_ = nullptr;
  QWidget* fitPlots_ = nullptr;  // the Fit Plots page
  std::unique_ptr<FitPropertiesModel> fitPropModel_;
  TFitPropDlg* fitPropDialog_ = nullptr;
  QtTextMeasure textMeasure_;
  QPlainTextEdit* modelEditor_ = nullptr;
  QPlainTextEdit* sourceView_ = nullptr;
  QTimer* compileTimer_ = nullptr;
  bool showingModelText_ = false;
  bool closed_ = false;
};

// "Description|pattern|..." as Qt's name filters.
QStringList NameFilters(const std::string& filter);
// The extension a save dialog appends for a chosen name filter: its first pattern's, or
// `fallback` when that pattern names none ("*.*").
QString SuffixForFilter(const QString& nameFilter, const QString& fallback);

}  // namespace zelk
