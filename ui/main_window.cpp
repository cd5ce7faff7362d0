#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <functional>
#include <string_view>
#include <type_traits>

#include "base/messages.h"
#include "estimation/fit.h"
#include "ui/covariance_page.h"
#include "ui/profiles_page.h"
#include "ui/data_grid_view.h"
#include "ui/debug_grid_view.h"
#include "ui/design_dialog.h"
#include "ui/dimension_page.h"
#include "ui/fit_chart_view.h"
#include "ui/fit_properties_dialog.h"
#include "ui/flow_page.h"
#include "ui/focus_keeper.h"
#include "ui/options_dialog.h"
#include "ui/parameter_grid_view.h"
#include "ui/plot_view.h"
#include "workspace/fit_plots.h"
#include "ui/process_tool.h"
#include "ui/report_box.h"
#include "ui/residual_page.h"
#include "ui/visibility_page.h"

namespace zelk {

namespace {

constexpr int kLeftWidth = 193;

struct PageSpec {
  Page page;
  const char* caption;
};

// Tab captions of the three notebooks, in order.
constexpr PageSpec kRightPages[] = {
    {Page::Data, "Data"},
    {Page::Model, "Model"},
    {Page::Source, "Source"},
    {Page::FitChart, "Fit Chart"},
    {Page::FitPlots, "Fit Plots"},
    {Page::ParameterDetails, "Parameter Details"},
    {Page::Covariances, "Covariances"},
    {Page::Profiles, "Profiles"},
    {Page::Autocorrelation, "Autocorelation"},
    {Page::Report, "Report"},
    {Page::Debug, "Debug"},
};
constexpr PageSpec kUpperLeftPages[] = {
    {Page::Dimension, "Dimension"}, {Page::Parameters, "Parameters"}, {Page::Flow, "Flow"}};
constexpr PageSpec kLowerLeftPages[] = {{Page::Messages, "Messa&ges"},
                                        {Page::Visibility, "&Visibility"}};

}  // namespace

QStringList NameFilters(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    filters << parts[i] + " (" + patterns + ")";
  }
  return filters;
}

QString SuffixForFilter(const QString& nameFilter, const QString& fallback) {
  const qsizetype open = nameFilter.lastIndexOf('(');
  const QString patterns = nameFilter.mid(open + 1).chopped(nameFilter.endsWith(')') ? 1 : 0);
  const QString first = patterns.section(' ', 0, 0, QString::SectionSkipEmpty);
  const QString extension = first.startsWith("*.") ? first.mid(2) : QString();
  if (extension.isEmpty() || extension.contains('*') || extension.contains('?')) return fallback;
  return extension;
}

namespace {

// Commands that run a computation step by step, or start one.
constexpr const char* kLongCommands[] = {"OptimizeAction",   "OptimizeLJAction", "OptimizeWLAction",
                                         "OptimizeGNAction", "OptimizeLMAction", "FLimitAction",
                                         "AllFLimitsAction", "DesignPointAction", "MultiStartAction"};
// Commands that would change the model, the data, the dimensions or the parameter table
// under a running computation, or start a second one.
constexpr const char* kHeldWhileRunning[] = {"NewDataFile",
                                             "OpenDataFile",
                                             "NewModelFile",
                                             "OpenModelFile",
                                             "CompileAction",
                                             "CompilePascalAction",
                                             "ImportParametersAction",
                                             "ImportPetabProblem",
                                             "ImportSbmlModel",
                                             "MultiStartAction",
                                             "CutAction",
                                             "PasteAction",
                                             "DeleteAction",
                                             "UndoAction",
                                             "RedoAction",
                                             "StdErr",
                                             "CovariancesAction",
                                             "ResidualAction"};

}  // namespace

TMForm::TMForm(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle("Zelk 3.0");
  setObjectName("MForm");
  right_ = new QTabWidget;
  right_->setObjectName("RightPages");
  upperLeft_ = new QTabWidget;
  upperLeft_->setObjectName("UpperLeftPages");
  lowerLeft_ = new QTabWidget;
  lowerLeft_->setObjectName("LowerLeftPages");
  for (int i = 0; i <= kRunningPanel; ++i) {
    panels_[i] = new QLabel(this);
    panels_[i]->setObjectName(QString("StatusPanel%1").arg(i));
    if (i < 2) {
      panels_[i]->setFixedWidth(200);
      panels_[i]->setAlignment(Qt::AlignCenter);
    }
    statusBar()->addWidget(panels_[i], i < 2 ? 0 : 1);
  }
  processTool_ = new TProcessTool(this);
  ws_ = std::make_unique<Workspace>(*this);
  ws_->PreferencesFile = PreferencesPath();
  BuildPages();
  BuildMenus();
  ws_->Start();
  // After the main window, as the dialog shows the window's first series style.
  optionsModel_ = std::make_unique<OptionsDialogModel>(*this, ws_->Prefs, ws_->Preferences.Series);
  optionsDialog_ = new TOptionsDlg(*optionsModel_, this);
  fitPropModel_ = std::make_unique<FitPropertiesModel>(*ws_);
  fitPropDialog_ = new TFitPropDlg(*fitPropModel_, this);
  designDialog_ = new DesignDialog(this);
  ShowSourcePage(ws_->Prefs.SourcePreview);
  resize(1000, 680);
}

TMForm::~TMForm() {
  // The pages and the dialog read the workspace while they are torn down; they go first.
  delete optionsDialog_;
  delete fitPropDialog_;
  delete takeCentralWidget();
  fitChartView_ = nullptr;
  fitPlots_ = nullptr;
  paramGridView_ = nullptr;
  pdGridView_ = nullptr;
  visibilityPage_ = nullptr;
  debugView_ = nullptr;
  covariancePage_ = nullptr;
  profilesPage_ = nullptr;
  residualPage_ = nullptr;
  reportBox_ = nullptr;
  flowPage_ = nullptr;
  gridView_ = nullptr;
  modelEditor_ = nullptr;
  sourceView_ = nullptr;
  dimensionPage_ = nullptr;
  messages_ = nullptr;
}

void TMForm::BuildPages() {
  gridView_ = new DataGridView(ws_->Grid());
  dimensionPage_ = new DimensionPage(*ws_);
  messages_ = new QPlainTextEdit;
  messages_->setObjectName("MsgBox");
  messages_->setReadOnly(true);
  messages_->setFocusPolicy(Qt::ClickFocus);
  // A compiler's message is long; it is read whole without resizing the pane.
  messages_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  messages_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  QPalette navy = messages_->palette();
  navy.setColor(QPalette::Text, QColor(0, 0, 128));
  messages_->setPalette(navy);

  flowPage_ = new FlowPage(*ws_);
  paramGridView_ = new ParameterGridView(ws_->ParamGrids().ParamGrid());
  paramGridView_->setObjectName("ParamGrid");
  pdGridView_ = new ParameterGridView(ws_->ParamGrids().PDGrid());
  pdGridView_->setObjectName("PDGrid");
  visibilityPage_ = new VisibilityPage(ws_->BranchList);
  debugView_ = new DebugGridView(ws_->Debug);
  covariancePage_ = new CovariancePage(*ws_);
  profilesPage_ = new ProfilesPage(*ws_);
  residualPage_ = new ResidualPage(*ws_);
  reportBox_ = new ReportBox;
  fitChartView_ = new FitChartView(*ws_);
  // Observed and residuals against the model's values, side by side.
  auto* fitPlots = new QSplitter(Qt::Horizontal);
  fitPlots->setObjectName("FitPlots");
  fitPlots->setChildrenCollapsible(false);
  auto* observed = new PlotView(
      *ws_,
      [this] {
        return ObservedPredictedPlot(ws_->PredictedData(), ws_->Preferences.Series, ws_->Names);
      },
      "observed-predicted");
  observed->setObjectName("ObservedPredicted");
  auto* residuals = new PlotView(
      *ws_,
      [this] {
        return ResidualPredictedPlot(ws_->PredictedData(), ws_->Preferences.Series, ws_->Names);
      },
      "residuals-predicted");
  residuals->setObjectName("ResidualsPredicted");
  fitPlots->addWidget(observed);
  fitPlots->addWidget(residuals);
  fitPlots_ = fitPlots;
  modelEditor_ = new QPlainTextEdit;
  modelEditor_->setObjectName("ModelSource");
  QFont fixed("Courier New");
  fixed.setStyleHint(QFont::TypeWriter);
  fixed.setPointSize(10);
  modelEditor_->setFont(fixed);
  modelEditor_->setLineWrapMode(QPlainTextEdit::NoWrap);
  modelEditor_->setTabChangesFocus(false);
  modelEditor_->setTabStopDistance(QFontMetricsF(fixed).horizontalAdvance(' ') * 8);
  connect(modelEditor_, &QPlainTextEdit::textChanged, this, [this] {
    if (!showingModelText_) ws_->ModelTextChanged(modelEditor_->toPlainText().toStdString());
  });
  sourceView_ = new QPlainTextEdit;
  sourceView_->setObjectName("LanguageSource");
  sourceView_->setReadOnly(true);
  sourceView_->setFont(fixed);
  sourceView_->setLineWrapMode(QPlainTextEdit::NoWrap);

  auto pageFor = [this](Page page) -> QWidget* {
    switch (page) {
      case Page::Data:
        return gridView_;
      case Page::Model:
        return modelEditor_;
      case Page::Flow:
        return flowPage_;
      case Page::Parameters:
        return paramGridView_;
      case Page::ParameterDetails:
        return pdGridView_;
      case Page::Visibility:
        return visibilityPage_;
      case Page::Debug:
        return debugView_;
      case Page::Covariances:
        return covariancePage_;
      case Page::Profiles:
        return profilesPage_;
      case Page::Autocorrelation:
        return residualPage_;
      case Page::Report:
        return reportBox_;
      case Page::FitChart:
        return fitChartView_;
      case Page::FitPlots:
        return fitPlots_;
      case Page::Source:
        return sourceView_;
      case Page::Dimension:
        return dimensionPage_;
      case Page::Messages:
        return messages_;
      default:
        return new QWidget;  // filled as their commands arrive
    }
  };
  auto fill = [&](QTabWidget* tabs, const auto& specs) {
    for (const PageSpec& spec : specs) {
      QWidget* widget = pageFor(spec.page);
      widget->setProperty("zelkPage", static_cast<int>(spec.page));
      tabs->addTab(widget, QString::fromLatin1(spec.caption));
    }
  };
  fill(right_, kRightPages);
  fill(upperLeft_, kUpperLeftPages);
  fill(lowerLeft_, kLowerLeftPages);

  auto* left = new QSplitter(Qt::Vertical);
  left->addWidget(upperLeft_);
  left->addWidget(lowerLeft_);
  left->setStretchFactor(0, 3);
  left->setStretchFactor(1, 1);
  // Wide enough for every tab of the upper notebook, whatever the font.
  int tabsWidth = 0;
  for (QTabWidget* tabs : {upperLeft_, lowerLeft_}) {
    tabs->setElideMode(Qt::ElideNone);
    tabs->setUsesScrollButtons(false);
    tabsWidth =
        std::max(tabsWidth, tabs->tabBar()->sizeHint().width() +
                                2 * tabs->style()->pixelMetric(QStyle::PM_DefaultFrameWidth));
  }
  left->setMinimumWidth(std::max(190, tabsWidth));
  auto* split = new QSplitter(Qt::Horizontal);
  split->setObjectName("Splitter");
  split->addWidget(left);
  split->addWidget(right_);
  split->setStretchFactor(1, 1);
  split->setSizes({std::max(kLeftWidth, tabsWidth), 800});
  split->setChildrenCollapsible(false);
  setCentralWidget(split);
}

void TMForm::BuildMenus() {
  // Every command of the window: menus, toolbar buttons and pop-up menus only trigger these.
  struct CommandSpec {
    const char* name;
    const char* caption;
    const char* hint;
    const char* group;
    std::function<void()> run;
  };
  auto ws = [this](void (Workspace::*command)()) {
    return [this, command] { ((*ws_).*command)(); };
  };
  const CommandSpec commands[] = {
      {"NewDataFile", "&New Data File", "Create New Data File", "FileHandling",
       ws(&Workspace::NewDataFile)},
      {"OpenDataFile", "Open &Data File", "Load Experimental Data from File", "FileHandling",
       ws(&Workspace::OpenDataFile)},
      {"SaveDataFile", "&Save Data File", "Save Experimental Data File", "FileHandling",
       ws(&Workspace::SaveDataFile)},
      {"SaveDataFileAs", "S&ave Data File As ...", "Save Experimental Data File Under A New Name",
       "FileHandling", ws(&Workspace::SaveDataFileAs)},
      {"NewModelFile", "Ne&w Model File", "Create New Model File", "FileHandling",
       ws(&Workspace::NewModelFile)},
      {"OpenModelFile", "Open &Model File", "Open Model File", "FileHandling",
       ws(&Workspace::OpenModelFile)},
      {"SaveModelFile", "Save Model &File", "Save Model Source File and Dimensions", "FileHandling",
       ws(&Workspace::SaveModelFile)},
      {"SaveModelFileAs", "Sa&ve Model File As ...",
       "Save Model Source File and Dimensions under New Name", "FileHandling",
       ws(&Workspace::SaveModelFileAs)},
      {"ImportPetabProblem", "&PEtab Problem...", "Import a PEtab Estimation Problem as a Model, "
       "its Data and Parameters", "FileHandling", [this] { ws_->ImportProblem(true); }},
      {"ImportSbmlModel", "&SBML Model...", "Import an SBML Model as a Model File", "FileHandling",
       [this] { ws_->ImportProblem(false); }},
      {"ImportParametersAction", "&Import Parameters...", "", "FileHandling",
       ws(&Workspace::ImportParametersAction)},
      {"ExportParametersAction", "&Export Parameters...", "", "FileHandling",
       ws(&Workspace::ExportParametersAction)},
      {"ExitAction", "E&xit", "", "General", [this] { close(); }},
      {"Preferences", "&Preferences ...", "", "General", [this] { optionsDialog_->Execute(); }},
      {"EditfcPropertiesAction", "&Fit Chart Properties ...", "", "General",
       [this] { fitPropDialog_->Execute(); }},
      {"GenerateSource", "Generate &Source Preview", "", "ModelGeneration",
       ws(&Workspace::GenerateSource)},
      {"CompileAction", "&Compile", "", "ModelGeneration", ws(&Workspace::CompileAction)},
      {"CompilePascalAction", "Compile &Pascal", "", "ModelGeneration",
       ws(&Workspace::CompilePascalAction)},
      {"OptimizeAction", "&Optimize", "", "Optimization", ws(&Workspace::OptimizeAction)},
      {"OptimizeLJAction", "Optimize &LJ", "", "Optimization", ws(&Workspace::OptimizeLJAction)},
      {"OptimizeWLAction", "Optimize &WL", "", "Optimization", ws(&Workspace::OptimizeWLAction)},
      {"OptimizeGNAction", "Optimize &GN", "", "Optimization", ws(&Workspace::OptimizeGNAction)},
      {"OptimizeLMAction", "Optimize &LM", "", "Optimization", ws(&Workspace::OptimizeLMAction)},
      {"MultiStartAction", "&Multi-start", "Many LM Fits from Starts Spread over the Bounds",
       "Optimization", ws(&Workspace::MultiStartAction)},
      {"StopAction", "&Stop", "", "Optimization", [this] { ws_->Estimation().Stop(); }},
      {"CutAction", "Cu&t", "", "Edit", ws(&Workspace::CutAction)},
      {"CopyAction", "&Copy", "", "Edit", ws(&Workspace::CopyAction)},
      {"PasteAction", "&Paste", "", "Edit", ws(&Workspace::PasteAction)},
      {"DeleteAction", "&Delete", "", "Edit", ws(&Workspace::DeleteAction)},
      {"UndoAction", "&Undo", "", "Edit", ws(&Workspace::UndoAction)},
      {"RedoAction", "&Redo", "", "Edit", ws(&Workspace::RedoAction)},
      {"StdErr", "Standard &Errors", "", "Statistics", ws(&Workspace::StdErr)},
      {"CovariancesAction", "Normalized &Covariances", "", "Statistics",
       ws(&Workspace::CovariancesAction)},
      {"FLimitAction", "&F-Limit", "", "Statistics", ws(&Workspace::FLimitAction)},
      {"AllFLimitsAction", "&All F-Limits", "", "Statistics", ws(&Workspace::AllFLimitsAction)},
      {"ResidualAction", "Autocorelation &Test", "", "Statistics", ws(&Workspace::ResidualAction)},
      {"ReportPreviewAction", "&Report Preview", "", "Report", ws(&Workspace::ReportPreviewAction)},
      {"PrintReportAction", "&Print Report ...", "", "Report", ws(&Workspace::PrintReportAction)},
      {"SaveReport", "&Save ...", "", "Report", ws(&Workspace::SaveReport)},
      {"ExportFitchart", "&Export Fitchart ...", "", "Report", ws(&Workspace::ExportFitchart)},
      {"PrintFitChartAction", "Print &Fit Chart ...", "", "Report",
       ws(&Workspace::PrintFitChartAction)},
      {"PaintBoundary", "&Paint Limit Curve", "", "Report", ws(&Workspace::PaintBoundary)},
      {"DesignPointAction", "Design next point ...", "", "Design",
       ws(&Workspace::DesignPointAction)},
      {"DesignModeAction", "&Design Mode", "", "Design", ws(&Workspace::DesignModeAction)},
      {"LogYAxisAction", "&Logarithmic Y Axis", "The Fit Chart's Y Axis in Decades", "General",
       ws(&Workspace::ToggleLogYAxis)},
      {"LegendAction", "Le&gend", "The Fit Chart Names its Responses", "General",
       ws(&Workspace::ToggleLegend)},
  };
  for (const CommandSpec& spec : commands) {
    auto* action = new QAction(QString::fromLatin1(spec.caption), this);
    action->setObjectName(QString::fromLatin1(spec.name));
    action->setProperty("group", QString::fromLatin1(spec.group));
    if (*spec.hint) {
      action->setStatusTip(QString::fromLatin1(spec.hint));
      action->setToolTip(QString::fromLatin1(spec.hint));
    }
    std::function<void()> run = spec.run;
    if (std::find(std::begin(kLongCommands), std::end(kLongCommands),
                  std::string_view(spec.name)) != std::end(kLongCommands))
      // A long command's menu entry and button stay pressed until the command has returned.
      run = [action, command = spec.run] {
        action->setCheckable(true);
        action->setChecked(true);
        command();
        action->setChecked(false);
        action->setCheckable(false);
      };
    connect(action, &QAction::triggered, this, run);
  }
  for (const char* name : {"PaintBoundary", "DesignModeAction", "LogYAxisAction", "LegendAction"})
    Command(name)->setCheckable(true);

  // Menus as lists of command names; "-" is a separator. An entry "Name=Caption" shows the
  // command under a caption of its own.
  auto fillMenu = [this](QMenu* menu, std::initializer_list<const char*> items) {
    for (const char* item : items) {
      const QString entry = QString::fromLatin1(item);
      if (entry == "-") {
        menu->addSeparator();
      } else if (entry.contains('=')) {
        QAction* command = Command(entry.section('=', 0, 0).toLatin1().constData());
        QAction* alias = menu->addAction(entry.section('=', 1));
        connect(alias, &QAction::triggered, command, &QAction::trigger);
      } else {
        menu->addAction(Command(item));
      }
    }
  };
  QMenu* file = menuBar()->addMenu("&File");
  fillMenu(file, {"NewDataFile", "OpenDataFile", "SaveDataFile", "SaveDataFileAs", "-",
                  "NewModelFile", "OpenModelFile", "SaveModelFile", "SaveModelFileAs", "-"});
  QMenu* importMenu = file->addMenu("&Import");
  importMenu->setObjectName("ImportMenu");
  fillMenu(importMenu, {"ImportPetabProblem", "ImportSbmlModel"});
  file->addSeparator();
  QMenu* reportMenu = file->addMenu("&Report");
  reportMenu->setObjectName("ReportMenu");
  fillMenu(reportMenu,
           {"ReportPreviewAction=Pre&view", "PrintReportAction=&Print ...", "SaveReport"});
  fillMenu(file->addMenu("Fit&chart"),
           {"ExportFitchart=&Export ...", "PrintFitChartAction=&Print ..."});
  // The recent files, newest first, numbered for the keyboard; rebuilt each time it opens.
  QMenu* recent = file->addMenu("Recen&t");
  recent->setObjectName("RecentMenu");
  recent->addAction("(none)")->setEnabled(false);  // filled when it opens
  connect(recent, &QMenu::aboutToShow, this, [this, recent] {
    recent->clear();
    int number = 0;
    for (const std::string& path : ws_->Prefs.RecentFiles) {
      if (path.empty()) continue;
      const QString name = QString::fromStdString(path);
      QAction* entry = recent->addAction(
          QString("&%1 %2").arg(++number).arg(QFileInfo(name).fileName().replace('&', "&&")));
      entry->setToolTip(name);
      entry->setStatusTip(name);
      entry->setEnabled(!ws_->Estimation().Running());
      connect(entry, &QAction::triggered, this, [this, path] { ws_->OpenRecent(path); });
    }
    if (number == 0) recent->addAction("(none)")->setEnabled(false);
  });
  fillMenu(file, {"-", "ExitAction"});
  // The menu shows the shortcuts; the grids leave these keys to it, the text editors take
  // them themselves.
  const std::pair<const char*, QKeySequence> shortcuts[] = {
      {"UndoAction", QKeySequence::Undo},   {"RedoAction", QKeySequence(Qt::CTRL | Qt::Key_Y)},
      {"CutAction", QKeySequence::Cut},     {"CopyAction", QKeySequence::Copy},
      {"PasteAction", QKeySequence::Paste}, {"DeleteAction", QKeySequence::Delete}};
  for (const auto& [name, keys] : shortcuts) Command(name)->setShortcut(keys);
  fillMenu(menuBar()->addMenu("&Edit"), {"UndoAction", "RedoAction", "-", "CopyAction",
                                         "CutAction", "PasteAction", "DeleteAction", "-",
                                         "EditfcPropertiesAction"});
  fillMenu(menuBar()->addMenu("&View"),
           {"PaintBoundary", "DesignModeAction", "-", "LogYAxisAction", "LegendAction"});
  fillMenu(menuBar()->addMenu("&Model"),
           {"GenerateSource", "CompileAction", "ExportParametersAction", "ImportParametersAction"});
  fillMenu(menuBar()->addMenu("&Compute"),
           {"OptimizeAction", "OptimizeLMAction", "MultiStartAction", "StopAction", "-", "StdErr", "CovariancesAction", "FLimitAction",
            "AllFLimitsAction", "-", "ResidualAction"});
  fillMenu(menuBar()->addMenu("&Tools"), {"DesignPointAction", "-", "Preferences"});

  // Toolbar buttons carry large images and short captions of their own.
  QToolBar* tools = addToolBar("Tools");
  tools->setObjectName("ToolBar");
  tools->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  tools->setIconSize(QSize(32, 32));
  auto icon = [this](QStyle::StandardPixmap pixmap) { return style()->standardIcon(pixmap); };
  auto addButton = [&](const char* caption, const char* name, QStyle::StandardPixmap pixmap) {
    QAction* command = Command(name);
    QAction* button = tools->addAction(icon(pixmap), QString::fromLatin1(caption));
    button->setObjectName(QString::fromLatin1(name) + "Button");
    button->setToolTip(command->statusTip().isEmpty() ? command->text().remove('&')
                                                      : command->statusTip());
    connect(button, &QAction::triggered, command, &QAction::trigger);
    connect(command, &QAction::enabledChanged, button, &QAction::setEnabled);
  };
  // A button that runs one command and offers alternatives; the alternative chosen last
  // becomes what the button runs and names. It keeps its image.
  struct Alternative {
    const char* entry;
    const char* caption;
    const char* command;
  };
  auto addDropDown = [&](const char* objectName, QStyle::StandardPixmap pixmap,
                         std::initializer_list<Alternative> alternatives) {
    auto* button = new QToolButton(tools);
    button->setObjectName(objectName);
    button->setPopupMode(QToolButton::MenuButtonPopup);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    auto* menu = new QMenu(button);
    menu->setObjectName(QString::fromLatin1(objectName) + "Menu");
    auto* current = new QAction(icon(pixmap), QString(), button);
    current->setObjectName(QString::fromLatin1(objectName) + "Action");
    auto choose = [this, current](const Alternative& a) {
      current->setText(QString::fromLatin1(a.caption));
      current->setToolTip(Command(a.command)->statusTip());
      current->setProperty("command", QString::fromLatin1(a.command));
    };
    choose(*alternatives.begin());
    connect(current, &QAction::triggered, this, [this, current] {
      Command(current->property("command").toString().toLatin1().constData())->trigger();
    });
    for (const Alternative& a : alternatives) {
      QAction* entry = menu->addAction(QString::fromLatin1(a.entry));
      connect(entry, &QAction::triggered, this, [this, choose, a] {
        choose(a);
        Command(a.command)->trigger();
      });
    }
    button->setDefaultAction(current);
    button->setMenu(menu);
    tools->addWidget(button);
  };
  addButton("New Data", "NewDataFile", QStyle::SP_FileIcon);
  addButton("Open Data", "OpenDataFile", QStyle::SP_DialogOpenButton);
  addDropDown("SaveDataButton", QStyle::SP_DialogSaveButton,
              {{"&Save Data", "Save Data", "SaveDataFile"},
               {"S&ave Data As ...", "Save As", "SaveDataFileAs"}});
  tools->addSeparator();
  addButton("New Model", "NewModelFile", QStyle::SP_FileDialogNewFolder);
  addButton("Open Model", "OpenModelFile", QStyle::SP_DialogOpenButton);
  addDropDown("SaveModelButton", QStyle::SP_DialogSaveButton,
              {{"&Save Model", "Save Model", "SaveModelFile"},
               {"Save Model As ...", "Save As", "SaveModelFileAs"}});
  addButton("Compile", "CompileAction", QStyle::SP_DialogApplyButton);
  tools->addSeparator();

  // The Optimize button repeats the search chosen last from its menu.
  auto* optimize = new QToolButton(tools);
  optimize->setObjectName("OptimizeButton");
  optimize->setPopupMode(QToolButton::MenuButtonPopup);
  optimize->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  auto* optimizeMenu = new QMenu(optimize);
  optimizeMenu->setObjectName("OptimizeMenu");
  optimizeButton_ = new QAction(icon(QStyle::SP_MediaPlay), "Optimize", optimize);
  optimizeButton_->setObjectName("OptimizeButtonAction");
  connect(optimizeButton_, &QAction::triggered, this,
          [this] { ws_->Estimation().OptimizeButtonClick(); });
  optimize->setDefaultAction(optimizeButton_);
  for (const SearchKind& kind : Searches()) {
    // The command of "Optimize GN" is "OptimizeGNAction", with its accelerator.
    std::string name = kind.Caption;
    name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
    QAction* entry = optimizeMenu->addAction(Command((name + "Action").c_str())->text());
    connect(entry, &QAction::triggered, this,
            [this, search = kind.Search] { ws_->Estimation().ChooseOptimizeButtonSearch(search); });
  }
  optimize->setMenu(optimizeMenu);
  tools->addWidget(optimize);
  addButton("Stop", "StopAction", QStyle::SP_MediaStop);

  // The pop-up menus of the fit chart and of the report box.
  auto* popup = new QMenu(this);
  fillMenu(popup,
           {"OptimizeAction", "StopAction", "-", "ExportFitchart=&Export ...",
            "PrintFitChartAction=&Print ...", "-", "EditfcPropertiesAction=P&roperties ..."});
  fitChartView_->addActions(popup->actions());
  auto* reportPopup = new QMenu(this);
  fillMenu(reportPopup, {"PrintReportAction=&Print ...", "SaveReport"});
  reportBox_->addActions(reportPopup->actions());

  compileTimer_ = new QTimer(this);
  compileTimer_->setObjectName("CompileTimer");
  compileTimer_->setInterval(1000);
  connect(compileTimer_, &QTimer::timeout, this, [this] { ws_->CompileTimerTimer(); });
}

QAction* TMForm::Command(const char* name) const {
  return findChild<QAction*>(QString::fromLatin1(name));
}

Answer TMForm::ShowMessage(MessageKind kind, const std::string& text, Buttons buttons) {
  QMessageBox box(this);
  box.setWindowTitle(QApplication::applicationDisplayName());
  box.setText(QString::fromStdString(text));
  switch (kind) {
    case MessageKind::Error:
      box.setIcon(QMessageBox::Critical);
      break;
    case MessageKind::Warning:
      box.setIcon(QMessageBox::Warning);
      break;
    case MessageKind::Information:
      box.setIcon(QMessageBox::Information);
      break;
    case MessageKind::Confirmation:
      box.setIcon(QMessageBox::Question);
      break;
  }
  switch (buttons) {
    case Buttons::Ok:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case Buttons::OkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case Buttons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    case Buttons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
  }
  switch (ExecKeepingFocus(box)) {
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    case QMessageBox::Cancel:
      return Answer::Cancel;
    case QMessageBox::Ok:
      return Answer::Ok;
    default:
      return buttons == Buttons::Ok      ? Answer::Ok
             : buttons == Buttons::YesNo ? Answer::No
                                         : Answer::Cancel;
  }
}

std::optional<std::string> TMForm::RunFileDialog(const FileDialogRequest& request, bool save) {
  QFileDialog dialog(this, QString::fromStdString(request.Title));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  const QStringList filters = NameFilters(request.Filter);
  dialog.setNameFilters(filters);
  if (request.FilterIndex >= 1 && request.FilterIndex <= filters.size())
    dialog.selectNameFilter(filters[request.FilterIndex - 1]);
  const QString suffix = QString::fromStdString(request.DefaultExtension);
  dialog.setDefaultSuffix(suffix);
  // A name typed without extension takes the one of the filter the user chose.
  if (save)
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, suffix](const QString& f) {
      dialog.setDefaultSuffix(SuffixForFilter(f, suffix));
    });
  if (!request.StartFolder.empty())
    dialog.setDirectory(QString::fromStdString(request.StartFolder));
  if (!request.ProposedName.empty())
    dialog.selectFile(QString::fromStdString(request.ProposedName));
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.ConfirmOverwrite);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first().toStdString();
}

std::optional<std::string> TMForm::OpenFileDialog(const FileDialogRequest& request) {
  return RunFileDialog(request, false);
}

std::optional<std::string> TMForm::SaveFileDialog(const FileDialogRequest& request) {
  return RunFileDialog(request, true);
}

void TMForm::ProcessEvents() { QCoreApplication::processEvents(); }

void TMForm::ShowPage(Page page) {
  if (page == Page::FTest) {
    ShowPage(Page::Flow);
    if (flowPage_) flowPage_->ShowFTest();
    return;
  }
  for (QTabWidget* tabs : {right_, upperLeft_, lowerLeft_})
    for (int i = 0; i < tabs->count(); ++i)
      if (tabs->widget(i)->property("zelkPage").toInt() == static_cast<int>(page))
        tabs->setCurrentIndex(i);
}

void TMForm::SetRunning(bool running) {
  for (const char* name : kHeldWhileRunning) Command(name)->setEnabled(!running);
  for (const char* name : kLongCommands) Command(name)->setEnabled(!running);
  optimizeButton_->setEnabled(!running);
  findChild<QMenu*>("OptimizeMenu")->setEnabled(!running);
  const std::uint8_t mode = ws_->Estimation().OperationMode;
  // The Optimize button is pressed while one of its searches runs.
  const bool searching = running && IsOptimizeSearch(mode);
  optimizeButton_->setCheckable(searching);
  optimizeButton_->setChecked(searching);
  dimensionPage_->setEnabled(!running);
  panels_[kRunningPanel]->setStyleSheet(running ? "font-weight: bold" : "");
}

void TMForm::SetStatusPanel(int index, const std::string& text) {
  panels_.at(index)->setText(QString::fromStdString(text));
}

void TMForm::Repaint(View view) {
  switch (view) {
    case View::Dimensions:
      if (dimensionPage_) dimensionPage_->Refresh();
      break;
    case View::DataGridLayout:
      if (gridView_) gridView_->GridModel()->ResetLayout();
      break;
    case View::DataGrid:
      if (gridView_) gridView_->Refresh();
      break;
    case View::Messages:
      if (messages_) {
        QStringList lines;
        for (const std::string& line : ws_->Log.Lines()) lines << QString::fromStdString(line);
        // The newest line stays in sight unless the user scrolled up to read older ones.
        QScrollBar* bar = messages_->verticalScrollBar();
        const bool follow = bar->value() >= bar->maximum();
        const int kept = bar->value();
        messages_->setPlainText(lines.join('\n'));
        bar->setValue(follow ? bar->maximum() : kept);
      }
      break;
    case View::ModelText:
      if (modelEditor_) {
        showingModelText_ = true;
        modelEditor_->setPlainText(QString::fromStdString(ws_->ModelText));
        showingModelText_ = false;
      }
      break;
    case View::ModelCaret:
      if (modelEditor_) {
        // The core counts bytes of UTF-8, the editor characters.
        const QString before = QString::fromUtf8(
            ws_->ModelText.data(),
            static_cast<qsizetype>(std::min(ws_->ModelCaret, ws_->ModelText.size())));
        QTextCursor cursor = modelEditor_->textCursor();
        cursor.setPosition(static_cast<int>(before.size()));
        modelEditor_->setTextCursor(cursor);
        modelEditor_->setFocus();
      }
      break;
    case View::Source:
      if (sourceView_) {
        QStringList lines;
        for (const std::string& line : ws_->Compiler().SourceLines)
          lines << QString::fromStdString(line);
        sourceView_->setPlainText(lines.join('\n'));
        ShowSourcePage(ws_->Prefs.SourcePreview);
      }
      break;
    case View::Flow:
      if (flowPage_) flowPage_->Refresh();
      // The button keeps its image and shows the caption of the search it runs.
      if (optimizeButton_) {
        optimizeButton_->setText(SearchName(ws_->Estimation().OptimizeButtonSearch));
      }
      break;
    case View::ParameterGrids:
      for (ParameterGridView* view : {paramGridView_, pdGridView_})
        if (view) view->FollowCore();
      break;
    case View::FitChart:
      if (fitChartView_) fitChartView_->update();
      if (fitPlots_)
        for (QWidget* plot : fitPlots_->findChildren<QWidget*>()) plot->update();
      // The two switches show the core's state: the limit curve may have refused.
      if (QAction* limit = Command("PaintBoundary"))
        limit->setChecked(ws_->Chart().PaintBoundaryChecked);
      if (QAction* design = Command("DesignModeAction"))
        design->setChecked(ws_->Chart().DesignModeChecked);
      if (QAction* logY = Command("LogYAxisAction")) logY->setChecked(ws_->Prefs.LogYAxis);
      if (QAction* legend = Command("LegendAction")) legend->setChecked(ws_->Prefs.ChartLegend);
      break;
    case View::Debug:
      if (debugView_) debugView_->Refresh();
      break;
    case View::Covariances:
      if (covariancePage_) covariancePage_->Refresh();
      break;
    case View::Profiles:
      if (profilesPage_) profilesPage_->Refresh();
      break;
    case View::Residuals:
      if (residualPage_) residualPage_->Refresh();
      break;
    case View::Report:
      if (reportBox_) reportBox_->Show(ws_->Report);
      break;
    case View::Visibility:
      break;
  }
}

std::vector<RichLine> TMForm::ReportText() { return reportBox_->Lines(); }

bool TMForm::PrintReport(const std::function<void()>& build) {
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, this);
  if (dialog.exec() != QDialog::Accepted) return false;
  build();
  printer.setDocName(QString());  // the print job has no title
  reportBox_->print(&printer);
  return true;
}

bool TMForm::RunDesignDialog(DesignDialogModel& dialog) { return designDialog_->Execute(dialog); }

void TMForm::SetClipboardText(const std::string& text) {
  QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

std::string TMForm::ClipboardText() { return QGuiApplication::clipboard()->text().toStdString(); }

EditTarget TMForm::FocusedEditTarget() {
  QWidget* focus = QApplication::focusWidget();
  if (!focus) return EditTarget::None;
  if (focus == gridView_) return EditTarget::DataGrid;
  if (dynamic_cast<ParameterGridView*>(focus)) return EditTarget::ParameterGrid;
  // The model editor, a grid cell's editor, a dimension field, the report box.
  if (qobject_cast<QLineEdit*>(focus) || qobject_cast<QPlainTextEdit*>(focus) ||
      qobject_cast<QTextEdit*>(focus))
    return EditTarget::TextEditor;
  return EditTarget::None;
}

void TMForm::EditFocusedText(EditOp op) {
  QWidget* focus = QApplication::focusWidget();
  auto apply = [op](auto* editor) {
    if (!editor) return false;
    switch (op) {
      case EditOp::Cut:
        editor->cut();
        break;
      case EditOp::Copy:
        editor->copy();
        break;
      case EditOp::Paste:
        editor->paste();
        break;
      case EditOp::Delete:
        if constexpr (std::is_same_v<decltype(editor), QLineEdit*>) {
          if (!editor->isReadOnly()) editor->del();
        } else if (!editor->isReadOnly()) {
          editor->textCursor().removeSelectedText();
        }
        break;
      case EditOp::Undo:
        editor->undo();
        break;
      case EditOp::Redo:
        editor->redo();
        break;
    }
    return true;
  };
  apply(qobject_cast<QLineEdit*>(focus)) || apply(qobject_cast<QPlainTextEdit*>(focus)) ||
      apply(qobject_cast<QTextEdit*>(focus));
}

void TMForm::CloseMainWindow() { QTimer::singleShot(0, this, &QWidget::close); }

void TMForm::ShowProgress(bool shown) {
  if (shown)
    processTool_->ShowProgress();
  else
    processTool_->HideProgress();
}

void TMForm::EnableCompileTimer(bool enabled) {
  if (enabled)
    compileTimer_->start();
  else
    compileTimer_->stop();
}

std::pair<int, int> TMForm::FitChartSize() {
  // A page never shown yet has not been laid out; it will get the notebook's page area.
  QWidget* page = fitChartView_->isVisible() ? fitChartView_ : right_->currentWidget();
  return {page->width(), page->height()};
}

std::string TMForm::WritePicture(const std::string& path, int width, int height,
                                 const std::function<void(Canvas&)>& draw) {
  return WriteQtPicture(path, width, height, draw);
}

bool TMForm::PrintPage(const std::function<void(Canvas&, int, int)>& draw) {
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, this);
  if (dialog.exec() != QDialog::Accepted) return false;
  PrintOn(printer, draw);
  return true;
}

void TMForm::PrintOn(QPrinter& printer, const std::function<void(Canvas&, int, int)>& draw) {
  QPainter painter;
  if (!painter.begin(&printer)) {
    ShowMessage(MessageKind::Error, msg::kPrinterNotStarted, Buttons::Ok);
    return;
  }
  QtCanvas canvas(painter);
  const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
  draw(canvas, page.width(), page.height());
  painter.end();
}

void TMForm::ShowSourcePage(bool shown) {
  const int index = right_->indexOf(sourceView_);
  if (index >= 0) right_->setTabVisible(index, shown);
}

void TMForm::closeEvent(QCloseEvent* event) {
  if (closed_) {
    event->accept();
    return;
  }
  if (!ws_->RequestClose()) {
    event->ignore();
    return;
  }
  closed_ = true;
  ws_->Shutdown();
  event->accept();
}

}  // namespace zelk
