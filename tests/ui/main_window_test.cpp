// The window's wiring, offscreen: the pages, panels and title it starts with, and that what a
// user types or opens reaches the workspace and comes back on the screen.

#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBrush>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "base/format.h"
#include "base/messages.h"
#include "workspace/fit_plots.h"
#include "estimation/operation.h"
#include "support/temp_folder.h"
#include "ui/covariance_page.h"
#include "ui/data_grid_view.h"
#include "ui/design_dialog.h"
#include "ui/dimension_page.h"
#include "ui/flow_page.h"
#include "ui/parameter_grid_view.h"
#include "ui/plot_view.h"
#include "ui/process_tool.h"
#include "ui/profiles_page.h"
#include "ui/report_box.h"
#include "ui/residual_page.h"

namespace zelk {
namespace {

// The decay example opened from a copy in `dir`, compiled with the window's own command.
bool OpenCompiledDecay(TMForm& form, const std::string& dir) {
  for (const char* ext : {".mod", ".dim"})
    std::filesystem::copy_file(std::string(EXAMPLES) + "/decay" + ext, dir + "/decay" + ext);
  Workspace& ws = form.Ws();
  ws.Prefs.CompilerPath = PASBUILD;
  if (!ws.ReadDataFile(std::string(EXAMPLES) + "/decay.zkd")) return false;
  ws.SetDataSaved(true);
  if (!ws.ReadModelFile(dir + "/decay.mod") || !ws.ReadDimensionFile(dir + "/decay.dim"))
    return false;
  ws.ModelFileName = dir + "/decay.mod";
  ws.SetModelSaved(true);
  form.Command("CompileAction")->trigger();
  return QTest::qWaitFor([&] { return !ws.Model.LibFileName.empty(); }, 60000);
}

// Answers every message box with its default button and keeps its text.
struct BoxAnswerer {
  std::vector<QString> Texts;
  QTimer Timer;
  BoxAnswerer() {
    QObject::connect(&Timer, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        Texts.push_back(box->text());
        box->accept();
      }
    });
    Timer.start(20);
  }
};

QStringList Captions(QTabWidget* tabs) {
  QStringList captions;
  for (int i = 0; i < tabs->count(); ++i) captions << tabs->tabText(i);
  return captions;
}

TEST(MainWindow, StartsWithTheDocumentedTitlePagesAndPanels) {
  TMForm form;
  EXPECT_EQ(form.windowTitle(), "Zelk 3.0");
  EXPECT_EQ(form.RightPages()->tabText(form.RightPages()->currentIndex()), "Data");
  EXPECT_EQ(form.UpperLeftPages()->tabText(form.UpperLeftPages()->currentIndex()), "Dimension");
  EXPECT_EQ(form.LowerLeftPages()->tabText(form.LowerLeftPages()->currentIndex()), "Messa&ges");
  EXPECT_EQ(Captions(form.RightPages()),
            (QStringList{"Data", "Model", "Source", "Fit Chart", "Fit Plots", "Parameter Details",
                         "Covariances", "Profiles", "Autocorelation", "Report", "Debug"}));
  EXPECT_EQ(Captions(form.UpperLeftPages()), (QStringList{"Dimension", "Parameters", "Flow"}));
  EXPECT_EQ(form.StatusPanel(0)->text(), "UntitledData.zkd [Saved]");
  EXPECT_EQ(form.StatusPanel(1)->text(), "UntitledModel.mod [Saved]");
  EXPECT_EQ(form.StatusPanel(2)->text(), "Not Compiled");
  EXPECT_EQ(form.StatusPanel(0)->width(), 200);
  for (const char* name :
       {"NewDataFile", "OpenDataFile", "SaveDataFile", "SaveDataFileAs", "ExitAction"})
    EXPECT_NE(form.Command(name), nullptr) << name;
  EXPECT_EQ(form.Command("SaveDataFileAs")->text(), "S&ave Data File As ...");
  EXPECT_EQ(form.Command("OpenDataFile")->statusTip(), "Load Experimental Data from File");
}

TEST(MainWindow, ADimensionTypedInTheWindowReachesTheWorkspace) {
  TMForm form;
  form.show();
  QLineEdit* field = form.findChild<QLineEdit*>("IndVarEd");
  ASSERT_NE(field, nullptr);
  field->selectAll();
  QTest::keyClicks(field, "3");
  EXPECT_EQ(form.Ws().MeasuredData.XData.IndepCount, 3);
  EXPECT_EQ(form.Grid()->model()->columnCount(), 3 + 50);
  EXPECT_EQ(form.Grid()->model()->headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(),
            "Y[1]");
  EXPECT_EQ(form.StatusPanel(0)->text(), "UntitledData.zkd [Modified]");
  // An untitled model without text has nothing to save, whatever its counts.
  EXPECT_EQ(form.StatusPanel(1)->text(), "UntitledModel.mod [Saved]");

  QLineEdit* events = form.findChild<QLineEdit*>("EventsEd");
  QTest::keyClick(events, Qt::Key_Up);
  EXPECT_EQ(form.Ws().MeasuredData.YData.EventCount, 2);
  EXPECT_EQ(events->text(), "2");
}

TEST(MainWindow, TheGridShowsTheCoresTextsAndColours) {
  TMForm form;
  Workspace& ws = form.Ws();
  ws.Dimensions().SetText(Dimension::Events, "2");
  ws.Grid().StoreCell(1, 1, true, 0.5);
  ws.Grid().StoreCell(2, 2, true, 7);
  ws.Grid().RewriteFromData();
  QAbstractItemModel* model = form.Grid()->model();
  EXPECT_EQ(model->data(model->index(0, 0)).toString(), "0.50000");
  EXPECT_EQ(model->data(model->index(1, 1)).toString(), "7.00000");
  EXPECT_EQ(model->data(model->index(0, 1)).toString(), "#");
  EXPECT_EQ(model->data(model->index(0, 1), Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
  EXPECT_EQ(model->data(model->index(1, 1), Qt::ForegroundRole).value<QColor>(), QColor(Qt::blue));
  EXPECT_EQ(model->data(model->index(0, 0), Qt::ForegroundRole).value<QColor>(),
            QColor(Qt::darkGreen));
  EXPECT_EQ(model->data(model->index(2, 0)).toString(), "");  // event 3 is beyond the count
  EXPECT_EQ(model->headerData(9, Qt::Vertical, Qt::DisplayRole).toString(), "10.");
  EXPECT_EQ(model->rowCount(), 1000);
}

TEST(MainWindow, TypingIntoTheGridStoresTheValueWhenTheCellIsLeft) {
  TMForm form;
  form.show();
  Workspace& ws = form.Ws();
  ws.Dimensions().SetText(Dimension::Events, "3");
  DataGridView* view = form.Grid();
  view->setFocus();
  view->setCurrentIndex(view->model()->index(1, 0));
  QTest::keyClick(view, '2');  // any key opens the cell's editor with that key in it
  auto* editor = view->viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  EXPECT_TRUE(ws.Grid().EditorOpen());
  QTest::keyClicks(editor, ".5");
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_EQ(ws.MeasuredData.XData.X[2][1], 2.5);
  EXPECT_TRUE(ws.MeasuredData.XData.Defined[2][1]);
  EXPECT_EQ(view->model()->data(view->model()->index(1, 0)).toString(), "2.5");
}

TEST(MainWindow, TheExampleDataAppearsInTheGrid) {
  TMForm form;
  form.resize(1000, 680);
  form.show();
  Workspace& ws = form.Ws();
  ASSERT_TRUE(ws.ReadDataFile(std::string(EXAMPLES) + "/decay.zkd"));
  QAbstractItemModel* model = form.Grid()->model();
  EXPECT_EQ(model->columnCount(), 1 + 50);
  EXPECT_EQ(model->data(model->index(1, 1)).toString(), "0.82620");
  EXPECT_EQ(model->data(model->index(13, 1)).toString(), "#");
  EXPECT_EQ(model->data(model->index(15, 0)).toString(), "6.00000");
  EXPECT_EQ(form.findChild<QLineEdit*>("EventsEd")->text(), "16");
  // A picture for a person to look at, when asked for.
  const QString shot = qEnvironmentVariable("ZELK_SCREENSHOT");
  if (!shot.isEmpty()) {
    form.Grid()->setCurrentIndex(model->index(2, 0));
    form.Grid()->selectionModel()->select(QItemSelection(model->index(2, 0), model->index(4, 1)),
                                          QItemSelectionModel::Select);
    QApplication::processEvents();
    form.grab().save(shot);
  }
}

TEST(MainWindow, MessagesAppearInThePaneAndTheProgressWindowComesAndGoes) {
  TMForm form;
  const int added = MessageLog::kMaxLines + 1;
  for (int i = 1; i <= added; ++i) form.Ws().Log.AddMessage("line " + std::to_string(i));
  const QStringList lines = form.MessagePane()->toPlainText().split('\n');
  EXPECT_EQ(lines.size(), static_cast<int>(MessageLog::kMaxLines));
  EXPECT_EQ(lines.front(), "line 2");
  EXPECT_EQ(form.MessagePane()->objectName(), "MsgBox");

  TProcessTool* tool = form.ProcessTool();
  EXPECT_EQ(tool->windowTitle(), "Process Active...");
  EXPECT_EQ(tool->size(), QSize(271, 65));
  EXPECT_EQ(tool->MsgLabel()->text(), "Please wait until process finishes ...");
  EXPECT_TRUE(tool->windowFlags() & Qt::WindowStaysOnTopHint);
  form.ShowProgress(true);
  EXPECT_TRUE(tool->isVisible());
  EXPECT_TRUE(tool->Animation()->Active());
  form.Ws().Estimation().OperationMode = 1;
  form.Command("StopAction")->trigger();
  EXPECT_FALSE(tool->isVisible());
  EXPECT_FALSE(tool->Animation()->Active());
  EXPECT_EQ(form.Ws().Estimation().OperationMode, 0);
}

TEST(MainWindow, TypingAModelMarksItModifiedAndTheSourcePageFollowsThePreference) {
  TMForm form;
  form.show();
  form.Ws().SetCompiled(true);
  QTest::keyClicks(form.ModelEditor(), "Language");
  EXPECT_EQ(form.Ws().ModelText, "Language");
  EXPECT_EQ(form.StatusPanel(1)->text(), "UntitledModel.mod [Modified]");
  EXPECT_EQ(form.StatusPanel(2)->text(), "Not Compiled");
  EXPECT_EQ(form.ModelEditor()->font().family(), QFont("Courier New").family());
  EXPECT_EQ(form.ModelEditor()->lineWrapMode(), QPlainTextEdit::NoWrap);
  const int source = form.RightPages()->indexOf(form.SourceView());
  EXPECT_TRUE(form.RightPages()->isTabVisible(source));  // on by default
  form.Ws().Prefs.SourcePreview = false;
  form.Repaint(View::Source);
  EXPECT_FALSE(form.RightPages()->isTabVisible(source));
}

TEST(MainWindow, CompileFromTheWindowLoadsTheModelWhenTheCompilerIsDone) {
  char folder[] = "/tmp/zelk-ui-compile-XXXXXX";
  ASSERT_NE(::mkdtemp(folder), nullptr);
  const std::string dir = folder;
  for (const char* ext : {".mod", ".dim"})
    std::filesystem::copy_file(std::string(EXAMPLES) + "/decay" + ext, dir + "/decay" + ext);
  TMForm form;
  Workspace& ws = form.Ws();
  ws.Prefs.CompilerPath = PASBUILD;
  ASSERT_TRUE(ws.ReadModelFile(dir + "/decay.mod"));
  ASSERT_TRUE(ws.ReadDimensionFile(dir + "/decay.dim"));
  ws.ModelFileName = dir + "/decay.mod";
  ws.SetModelSaved(true);
  EXPECT_TRUE(form.ModelEditor()->toPlainText().startsWith("language = pascal"));

  form.Command("CompileAction")->trigger();
  EXPECT_EQ(form.StatusPanel(2)->text(), "Compiling...");
  EXPECT_TRUE(form.CompileTimer()->isActive());
  EXPECT_EQ(form.RightPages()->currentWidget(), form.SourceView());
  EXPECT_TRUE(form.SourceView()->toPlainText().startsWith("Library decay;"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !ws.Model.LibFileName.empty(); }, 60000));
  EXPECT_EQ(ws.Model.LibFileName, dir + "/decay.dll");
  EXPECT_FALSE(form.CompileTimer()->isActive());
  EXPECT_EQ(form.StatusPanel(2)->text(), "Compiled");
  // The compiler ran without a terminal; its output is in the pane, the newest line in sight.
  QApplication::processEvents();
  QScrollBar* bar = form.MessagePane()->verticalScrollBar();
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_TRUE(form.MessagePane()->toPlainText().contains("lines compiled"));
  EXPECT_TRUE(form.MessagePane()->toPlainText().endsWith("decay.mod compiled and loaded."));
  std::filesystem::remove_all(dir);
}

TEST(MainWindow, ABrokenModelShowsOneBoxAndItsErrorAtItsOwnLineInThePane) {
  test::TempFolder folder;
  const std::string dir = folder.Path().string();
  TMForm form;
  form.show();
  Workspace& ws = form.Ws();
  ws.Prefs.CompilerPath = PASBUILD;
  ws.ReplaceModelText(
      "language = pascal\ndeclar\nend declar\nstatic\nend static\ndynamic\n  dy^[1] := "
      "-undefinedrateconstant*y^[1];\nend dynamic\n");
  ws.Dimensions().SetText(Dimension::DifEq, "1");
  ASSERT_TRUE(ws.WriteModelFile(dir + "/broken.mod"));
  ws.ModelFileName = dir + "/broken.mod";
  ws.SetModelSaved(true);
  BoxAnswerer answerer;
  const std::vector<QString>& boxes = answerer.Texts;
  form.Command("CompileAction")->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form.CompileTimer()->isActive(); }, 60000));
  // A second box would come from the same tick, before the first one's tick returns.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return !boxes.empty() && QApplication::activeModalWidget() == nullptr; }, 5000));
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes[0].startsWith("The model \"broken.mod\" did not compile: 1 error(s)."));
  EXPECT_EQ(form.StatusPanel(2)->text(), "Not Compiled");
  EXPECT_TRUE(ws.Model.LibFileName.empty());
  EXPECT_EQ(form.LowerLeftPages()->currentWidget(), form.MessagePane());
  EXPECT_EQ(form.RightPages()->currentWidget(), form.ModelEditor());
  EXPECT_EQ(form.ModelEditor()->textCursor().blockNumber(), 6);       // line 7
  EXPECT_EQ(form.ModelEditor()->textCursor().positionInBlock(), 13);  // column 14
  const QString pane = form.MessagePane()->toPlainText();
  // Among the compiler's lines as they came, mapped to the model text's own line.
  EXPECT_TRUE(pane.contains("\nbroken.mod(7,14) Error: Identifier not found "
                            "\"undefinedrateconstant\""))
      << pane.toStdString();
  // The long line is read whole in the pane as it is: wrapped, nothing to scroll sideways.
  QApplication::processEvents();
  EXPECT_EQ(form.MessagePane()->horizontalScrollBar()->maximum(), 0);
  const QString shot = qEnvironmentVariable("ZELK_SCREENSHOT_BROKEN");
  if (!shot.isEmpty()) form.grab().save(shot);
}

TEST(MainWindow, TheOptimizeButtonsMenuOffersTheSearchesAndTheButtonTakesTheLastOne) {
  TMForm form;
  auto* menu = form.findChild<QMenu*>("OptimizeMenu");
  ASSERT_NE(menu, nullptr);
  QStringList captions;
  for (QAction* entry : menu->actions()) captions << entry->text();
  EXPECT_EQ(captions, (QStringList{"&Optimize", "Optimize &LJ", "Optimize &WL", "Optimize &GN",
                                   "Optimize &LM"}));
  // Without a library the chosen search ends at once with the solver's message.
  for (const auto& [entry, search, caption] : {std::tuple{3, kGaussNewton, "Optimize GN"},
                                               std::tuple{4, kLMSearch, "Optimize LM"}}) {
    BoxAnswerer answerer;
    menu->actions()[entry]->trigger();
    EXPECT_EQ(form.Ws().Estimation().OptimizeButtonSearch, search);
    EXPECT_EQ(form.findChild<QAction*>("OptimizeButtonAction")->text(), caption);
    EXPECT_FALSE(answerer.Texts.empty());
    EXPECT_EQ(form.Ws().Estimation().OperationMode, kIdle);
  }
}

TEST(MainWindow, AUserDesignsTwoPointsAndSeesThemOnTheChart) {
  test::TempFolder folder;
  TMForm form;
  form.show();
  Workspace& ws = form.Ws();
  ASSERT_TRUE(OpenCompiledDecay(form, folder.Path().string()));
  ws.SetParameterValue(1, 0.352);
  // The user first asks for 0 points, reads the refusal, then asks for two in [0, 12].
  std::vector<QString> boxes;
  int dialogs = 0;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      boxes.push_back(box->text());
      box->accept();
    } else if (auto* dialog = dynamic_cast<DesignDialog*>(modal)) {
      // The refusal keeps the dialog open with the text that was refused.
      const bool refused = dialog->NrEdit()->text() == "0";
      if (dialogs > 0 && !refused) return;
      ++dialogs;
      dialog->MinEdit()->setText("0");
      dialog->MaxEdit()->setText("12");
      dialog->NrEdit()->setText(refused ? "2" : "0");
      // Queued: the refusal's box runs its own loop, which must not sit inside this tick.
      QMetaObject::invokeMethod(dialog, &QDialog::accept, Qt::QueuedConnection);
    }
  });
  user.start(20);
  QMenu* tools = nullptr;
  for (QAction* entry : form.menuBar()->actions())
    if (entry->text() == "&Tools") tools = entry->menu();
  ASSERT_NE(tools, nullptr);
  EXPECT_EQ(tools->actions()[0]->text(), "Design next point ...");
  EXPECT_TRUE(tools->actions()[1]->isSeparator());
  tools->actions()[0]->trigger();
  user.stop();
  EXPECT_EQ(boxes, std::vector<QString>{"Value must be an integer between 1 and 20!"});
  EXPECT_EQ(dialogs, 2);
  ASSERT_EQ(ws.Chart().DesignPointCount, 2);
  EXPECT_LE(ws.Chart().DesignPoints[1], ws.Chart().DesignPoints[2]);
  EXPECT_TRUE(form.Command("DesignModeAction")->isChecked());
  EXPECT_EQ(form.RightPages()->currentWidget(), form.findChild<QWidget*>("FitChart"));
  const QString shot = qEnvironmentVariable("ZELK_SCREENSHOT_DESIGN");
  if (!shot.isEmpty()) form.grab().save(shot);
}

TEST(MainWindow, TheLeftNotebooksShowEveryTabWholeAtTheStartWidth) {
  TMForm form;
  form.show();
  QApplication::processEvents();
  for (QTabWidget* tabs : {form.UpperLeftPages(), form.LowerLeftPages()}) {
    const QTabBar* bar = tabs->tabBar();
    for (int i = 0; i < bar->count(); ++i)
      EXPECT_TRUE(bar->rect().contains(bar->tabRect(i)))
          << bar->tabText(i).toStdString() << " at " << bar->tabRect(i).right() << " of "
          << bar->rect().right();
  }
}

TEST(MainWindow, AUserFitsTheExampleFromTheWindowAndStopsTheSearch) {
  test::TempFolder folder;
  const std::string dir = folder.Path().string();
  TMForm form;
  form.show();
  Workspace& ws = form.Ws();
  ASSERT_TRUE(OpenCompiledDecay(form, dir));

  // The starting value typed into the Parameters page.
  ParameterGridView* values = form.ParamGridView();
  form.UpperLeftPages()->setCurrentWidget(values);
  values->setFocus();
  values->setCurrentIndex(values->model()->index(0, 0));
  QTest::keyClick(values, '3');
  QTest::keyClick(values->viewport()->findChild<QLineEdit*>(), Qt::Key_Return);
  ASSERT_EQ(ws.Parameters.Value[1], 3.0);

  // While the search runs, the user watches the status bar and tries what would pull the
  // ground from under it; then presses Stop once the value has settled (or after half a
  // minute at most).
  QElapsedTimer clock;
  clock.start();
  QTimer user;
  bool looked = false;
  auto* optimizeButton = form.findChild<QToolButton*>("OptimizeButton");
  QObject::connect(&user, &QTimer::timeout, [&] {
    if (!looked) {
      if (clock.elapsed() < 300) return;  // the panel is refreshed a few times a second
      looked = true;
      EXPECT_TRUE(optimizeButton->isChecked());
      EXPECT_TRUE(form.Command("OptimizeAction")->isChecked());
      EXPECT_TRUE(form.StatusPanel(kRunningPanel)->text().startsWith("Optimize running: "));
      EXPECT_TRUE(form.StatusPanel(kRunningPanel)->text().contains(" model calls, best "));
      for (const char* name : {"CompileAction", "OpenDataFile", "OpenModelFile", "NewDataFile"}) {
        EXPECT_FALSE(form.Command(name)->isEnabled()) << name;
        auto* button = form.findChild<QAction*>(QString::fromLatin1(name) + "Button");
        EXPECT_FALSE(button->isEnabled()) << name;  // the toolbar's own button too
      }
      EXPECT_FALSE(form.Dimensions()->isEnabled());
      EXPECT_TRUE(form.Command("StopAction")->isEnabled());
      QTest::keyClick(values, '5');  // no editor opens: the value stays the search's
      for (auto* editor : values->viewport()->findChildren<QLineEdit*>())
        EXPECT_FALSE(editor->isVisible());
      return;
    }
    if (std::abs(ws.Parameters.Value[1] - 0.352) < 0.002 || clock.elapsed() > 30000)
      QTest::mouseClick(form.findChild<QToolBar*>("ToolBar")->widgetForAction(
                            form.findChild<QAction*>("StopActionButton")),
                        Qt::LeftButton);
  });
  user.start(20);
  form.Command("OptimizeAction")->trigger();  // returns once Stop ended the run
  user.stop();
  EXPECT_TRUE(looked);
  EXPECT_EQ(ws.Estimation().OperationMode, 0);
  EXPECT_FALSE(optimizeButton->isChecked());
  EXPECT_EQ(form.StatusPanel(kRunningPanel)->text(), "");
  EXPECT_TRUE(form.Command("CompileAction")->isEnabled());
  EXPECT_TRUE(form.Dimensions()->isEnabled());
  EXPECT_NEAR(ws.Parameters.Value[1], 0.352, 0.005);
  EXPECT_EQ(form.UpperLeftPages()->currentWidget(), form.Flow());
  EXPECT_EQ(form.Flow()->ObjectiveLabel()->text().toStdString(),
            FormatGeneral(ws.Estimation().BestObjective, 15));
  EXPECT_EQ(values->model()->data(values->model()->index(0, 0)).toString().toStdString(),
            FormatSignificant(ws.Parameters.Value[1], 8));
  ParameterGridView* details = form.PDGridView();
  EXPECT_EQ(details->model()->data(details->model()->index(0, 0)).toString().toStdString(),
            FormatSignificant(ws.Parameters.Value[1], 6));
  const QString shot = qEnvironmentVariable("ZELK_SCREENSHOT_FIT");
  if (!shot.isEmpty()) {
    form.RightPages()->setCurrentWidget(details);
    QApplication::processEvents();
    form.grab().save(shot);
  }
}

TEST(MainWindow, AUserFitsByGaussNewtonAndReadsThePrecision) {
  test::TempFolder folder;
  const std::string dir = folder.Path().string();
  TMForm form;
  form.show();
  Workspace& ws = form.Ws();
  ASSERT_TRUE(OpenCompiledDecay(form, dir));
  ws.SetParameterValue(1, 3.0);

  // Gauss-Newton ends by itself once a step lowers nothing, and says so.
  auto* menu = form.findChild<QMenu*>("OptimizeMenu");
  menu->actions()[3]->trigger();
  EXPECT_NEAR(ws.Parameters.Value[1], 0.352, 0.002);
  EXPECT_TRUE(form.MessagePane()->toPlainText().endsWith(msg::kGNConverged));

  form.Command("StdErr")->trigger();
  ParameterGridView* details = form.PDGridView();
  EXPECT_EQ(form.RightPages()->currentWidget(), details);
  EXPECT_EQ(details->model()->data(details->model()->index(0, 3)).toString().toStdString(),
            FormatSignificant(ws.Parameters.StdError[1], 6));
  EXPECT_GT(ws.Parameters.StdError[1], 0);

  form.Command("CovariancesAction")->trigger();
  CovariancePage* covariances = form.Covariances();
  EXPECT_EQ(form.RightPages()->currentWidget(), covariances);
  QAbstractItemModel* grid = covariances->Grid()->model();
  EXPECT_EQ(grid->data(grid->index(0, 0)).toString(), "1.00");
  // The diagonal is plain: no alarm, no tint; one parameter, one cell.
  EXPECT_EQ(grid->data(grid->index(0, 0), Qt::ForegroundRole).value<QBrush>().color(),
            QColor(Qt::black));
  EXPECT_EQ(grid->data(grid->index(0, 0), Qt::BackgroundRole).value<QBrush>().color(),
            QColor(Qt::white));
  EXPECT_EQ(grid->rowCount(), 1);
  EXPECT_EQ(grid->columnCount(), 1);
  EXPECT_EQ(covariances->DeterminantPanel()->text(), "Covariance matrix determinant = 1");
  covariances->Grid()->setFocus();
  covariances->Grid()->selectionModel()->select(grid->index(0, 0), QItemSelectionModel::Select);
  QTest::keyClick(covariances->Grid(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "1.00\r\n");

  // The Compute menu in its order, then All F-Limits from it.
  QMenu* compute = nullptr;
  for (QAction* entry : form.menuBar()->actions())
    if (entry->text() == "&Compute") compute = entry->menu();
  ASSERT_NE(compute, nullptr);
  QStringList items;
  for (QAction* entry : compute->actions()) items << (entry->isSeparator() ? "-" : entry->text());
  EXPECT_EQ(items,
            (QStringList{"&Optimize", "Optimize &LM", "&Multi-start", "&Stop", "-", "Standard &Errors",
                         "Normalized &Covariances", "&F-Limit", "&All F-Limits", "-",
                         "Autocorelation &Test"}));
  BoxAnswerer answerer;
  compute->actions()[8]->trigger();
  EXPECT_EQ(answerer.Texts, std::vector<QString>{"Process Successfully Completed"});
  EXPECT_EQ(form.RightPages()->currentWidget(), details);
  FlowPage* flow = form.findChild<FlowPage*>("FlowPage");
  EXPECT_EQ(flow->SubPages()->currentIndex(), 1);
  EXPECT_EQ(flow->FTestLabel(0)->text(), "1");
  EXPECT_EQ(flow->FTestLabel(1)->text(), "Upper");
  EXPECT_FALSE(flow->FTestLabel(2)->text().isEmpty());
  EXPECT_LT(ws.Parameters.LoFLimit[1], ws.Parameters.Value[1]);
  EXPECT_GT(ws.Parameters.HiFLimit[1], ws.Parameters.Value[1]);
  for (int col : {4, 5})
    EXPECT_EQ(
        details->model()->data(details->model()->index(0, col)).toString().toStdString(),
        FormatSignificant(col == 4 ? ws.Parameters.LoFLimit[1] : ws.Parameters.HiFLimit[1], 6));
  // The residual test: verdicts in the grid, one strip of bars per response.
  compute->actions()[10]->trigger();
  ResidualPage* residuals = form.Residuals();
  EXPECT_EQ(form.RightPages()->currentWidget(), residuals);
  ASSERT_EQ(residuals->Grid()->rowCount(), 2);
  EXPECT_EQ(residuals->Grid()->item(0, 4)->text(), "Autocorelation");
  EXPECT_EQ(residuals->Grid()->item(1, 1)->text().toStdString(),
            FormatSignificant(ws.ResidualTest.DStat[1], 5));
  EXPECT_EQ(residuals->Graph()->height(), 150);
  const QImage bars = residuals->Graph()->grab().toImage();
  EXPECT_EQ(bars.pixelColor(20, 75), QColor(Qt::black));  // the centre line
  // File > Report > Preview fills the report box; what it holds comes back line by line.
  QMenu* report = form.findChild<QMenu*>("ReportMenu");
  ASSERT_NE(report, nullptr);
  QStringList reportItems;
  for (QAction* entry : report->actions()) reportItems << entry->text();
  EXPECT_EQ(reportItems, (QStringList{"Pre&view", "&Print ...", "&Save ..."}));
  report->actions()[0]->trigger();
  EXPECT_EQ(form.RightPages()->currentWidget(), form.Report());
  const std::vector<RichLine> shown = form.Report()->Lines();
  ASSERT_EQ(shown.size(), ws.Report.size());
  for (std::size_t i = 0; i < shown.size(); ++i) {
    std::string a, b;
    for (const RichRun& run : shown[i].Runs) a += run.Text;
    for (const RichRun& run : ws.Report[i].Runs) b += run.Text;
    EXPECT_EQ(a, b) << i;
    EXPECT_EQ(shown[i].TabStops, ws.Report[i].TabStops) << i;  // saved as they are shown
  }
  EXPECT_EQ(shown[2], ws.Report[2]);  // the title with its size and styles
  // Each caption of the estimates starts where its column of values does.
  QTextDocument* page = form.Report()->document();
  page->size();  // lays every block out
  const QTextBlock header = page->find("Lo F-Limit").block();
  const QTextBlock row = header.next();
  const auto x = [](const QTextBlock& block, int position) {
    return block.layout()->lineForTextPosition(position).cursorToX(position);
  };
  const QStringList captions{"Value", "Std. Error", "Lo F-Limit", "Hi F-Limit"};
  for (int column = 1, at = 0; column <= 4; ++column) {
    at = row.text().indexOf('\t', at) + 1;  // the start of value `column`
    EXPECT_NEAR(x(header, header.text().indexOf(captions[column - 1])), x(row, at), 1.0)
        << captions[column - 1].toStdString();
  }
  EXPECT_EQ(form.Report()->actions().size(), 2);  // Print, Save
  const QString residualShot = qEnvironmentVariable("ZELK_SCREENSHOT_RESIDUALS");
  if (!residualShot.isEmpty()) form.grab().save(residualShot);
  const QString shot = qEnvironmentVariable("ZELK_SCREENSHOT_STATS");
  if (!shot.isEmpty()) form.grab().save(shot);
}

// The Flow page's LM tolerances: a number typed and entered is the next LM run's, anything
// else gets the box and the field shows the value again.
TEST(MainWindow, AUserTightensTheLMTolerancesOnTheFlowPage) {
  test::TempFolder folder;
  TMForm form;
  form.show();
  Workspace& ws = form.Ws();
  ASSERT_TRUE(OpenCompiledDecay(form, folder.Path().string()));
  FlowPage* flow = form.findChild<FlowPage*>("FlowPage");
  form.UpperLeftPages()->setCurrentWidget(flow);
  QLineEdit* ftol = flow->LMTolerance(0);
  EXPECT_EQ(ftol->text(), "1E-8");
  ftol->setFocus();
  ftol->selectAll();
  QTest::keyClicks(ftol, "1e-13");
  QTest::keyClick(ftol, Qt::Key_Return);
  EXPECT_EQ(ws.Prefs.LMFunctionTolerance, 1e-13);
  QLineEdit* gtol = flow->LMTolerance(2);
  gtol->setFocus();
  gtol->selectAll();
  QTest::keyClicks(gtol, "lots");
  BoxAnswerer answerer;
  QTest::keyClick(gtol, Qt::Key_Return);
  EXPECT_EQ(answerer.Texts, std::vector<QString>{msg::kLMToleranceRequired});
  EXPECT_EQ(gtol->text(), "1E-8");
  EXPECT_EQ(ws.Prefs.LMGradientTolerance, 1e-8);
  // LM from the Compute menu ends by the tolerances typed.
  ws.SetParameterValue(1, 3.0);
  form.Command("OptimizeLMAction")->trigger();
  const QString said = form.MessagePane()->toPlainText();
  EXPECT_TRUE(said.contains("Optimize LM ended (converged)")) << said.toStdString();
  EXPECT_FALSE(said.contains("1.000000e-08")) << said.toStdString();
}

TEST(MainWindow, CancelInTheSaveDialogOfExitKeepsTheWindowAndTheData) {
  TMForm form;
  form.show();
  Workspace& ws = form.Ws();
  ASSERT_TRUE(ws.ReadDataFile(std::string(EXAMPLES) + "/decay.zkd"));
  ws.SetDataSaved(false);
  // The user answers Yes to saving, then cancels the Save As dialog.
  QStringList seen;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      seen << box->text();
      box->button(QMessageBox::Yes)->click();
    } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
      seen << dialog->windowTitle();
      dialog->reject();
    }
  });
  user.start(20);
  form.Command("ExitAction")->trigger();
  user.stop();
  EXPECT_EQ(seen, (QStringList{msg::kDiscardData, "Save Experimental Data As ..."}));
  EXPECT_TRUE(form.isVisible());
  EXPECT_FALSE(ws.DataSaved);
  EXPECT_EQ(ws.MeasuredData.YData.EventCount, 16);
}

// The pictures through the window: Optimize LM from the menu draws its progress on the Flow
// page, All F-Limits fills the Profiles page, and a picture's pop-up exports it as PNG.
TEST(MainWindow, APictureShowsTheSearchAndTheProfilesAndExportsFromItsPopUp) {
  test::TempFolder folder;
  TMForm form;
  form.show();
  Workspace& ws = form.Ws();
  ASSERT_TRUE(OpenCompiledDecay(form, folder.Path().string()));
  ws.SetParameterValue(1, 3);
  form.Command("OptimizeLMAction")->trigger();
  auto* progress = form.findChild<PlotView*>("progress");
  ASSERT_NE(progress, nullptr);
  const std::vector<std::pair<double, double>>& curve = ws.Estimation().Result.Progress;
  ASSERT_GE(curve.size(), 3u);
  EXPECT_GT(curve.front().second, 100 * curve.back().second);
  // The line is drawn in the plot's own blue.
  const QImage shot = progress->grab().toImage();
  int blue = 0;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) {
      const QColor c = shot.pixelColor(x, y);
      blue += c.blue() > 150 && c.red() < 100 && c.green() < 100;
    }
  EXPECT_GT(blue, 20);

  BoxAnswerer answerer;
  form.Command("AllFLimitsAction")->trigger();
  EXPECT_EQ(answerer.Texts, std::vector<QString>{"Process Successfully Completed"});
  auto* profiles = form.findChild<ProfilesPage*>("ProfilesPage");
  ASSERT_NE(profiles, nullptr);
  ASSERT_EQ(profiles->Plots().size(), 1u);
  ASSERT_EQ(ws.Estimation().Result.Profiles.size(), 2u);
  EXPECT_GE(ws.Estimation().Result.Profiles[1].size(), 3u);

  const std::string png = folder.File("profile.png");
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget()))
      if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit")) {
        name->setText(QString::fromStdString(png));
        QTest::keyClick(name, Qt::Key_Return);
      }
  });
  user.start(20);
  QAction* exportAction = profiles->Plots()[0]->findChild<QAction*>("ExportPictureAction");
  ASSERT_NE(exportAction, nullptr);
  exportAction->trigger();
  user.stop();
  QImage written(QString::fromStdString(png));
  EXPECT_FALSE(written.isNull());
  EXPECT_GE(written.width(), 400);
}

TEST(MainWindow, ASaveDialogAppendsTheExtensionOfTheChosenFilter) {
  const std::pair<const char*, const char*> cases[] = {
      {"PNG Image (*.png) (*.png)", "png"},
      {"Enhanced Metafile (*.emf) (*.emf)", "emf"},
      {"All Files (*.*) (*.*)", "zkd"},
      {"Gorun Data File (*gr2) (*.gr2)", "gr2"},
      {"Nothing", "zkd"},
  };
  for (const auto& [filter, suffix] : cases)
    EXPECT_EQ(SuffixForFilter(filter, "zkd"), suffix) << filter;
}

TEST(MainWindow, ConvertsFiltersToQtNameFilters) {
  EXPECT_EQ(NameFilters("Zelk Data File (*.zkd)|*.zkd|All Files (*.*)|*.*"),
            (QStringList{"Zelk Data File (*.zkd) (*.zkd)", "All Files (*.*) (*.*)"}));
}

}  // namespace
}  // namespace zelk

int main(int argc, char** argv) {
  // Discovery at build time runs this too, without the test environment.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The window reads and writes the user's settings: never the real ones here.
  char folder[] = "/tmp/zelk-ui-config-XXXXXX";
  if (::mkdtemp(folder)) qputenv("XDG_CONFIG_HOME", folder);
  QApplication app(argc, argv);
  // A modal box nobody expected would wait forever offscreen: report it and close it. Only
  // one still up a tick later is unexpected: a test answering boxes gets its chance first.
  QTimer watchdog;
  QPointer<QWidget> seen;
  QObject::connect(&watchdog, &QTimer::timeout, [&seen] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal == seen) {
      const auto* box = qobject_cast<QMessageBox*>(modal);
      ADD_FAILURE() << "unexpected modal window: " << modal->windowTitle().toStdString() << " "
                    << (box ? box->text().toStdString() : "");
      modal->close();
    }
    seen = modal;
  });
  watchdog.start(200);
  ::testing::InitGoogleTest(&argc, argv);
  const int status = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);  // one a process: never left behind
  return status;
}

namespace zelk {
namespace {

// File > Import > PEtab Problem through its two file dialogs: the project is written where
// the user says, opened, compiled, and LM on the Likelihood objective ends at or below the
// problem's likelihood at its nominal values.
TEST(MainWindow, ImportsAPetabProblemFromTheFileMenuAndFitsItsLikelihood) {
  test::TempFolder folder;
  TMForm form;
  form.show();
  Workspace& ws = form.Ws();
  ws.Prefs.CompilerPath = PASBUILD;
  ws.Prefs.AutoCompile = true;
  const std::string problem = std::string(PETAB) + "/Boehm_JProteomeRes2014/Boehm_JProteomeRes2014.yaml";
  const std::string target = folder.File("boehm.mod");
  std::vector<std::string> answers = {problem, target};
  QStringList titles;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    auto* name = dialog ? dialog->findChild<QLineEdit*>("fileNameEdit") : nullptr;
    if (!name || answers.empty()) return;
    titles << dialog->windowTitle();
    name->setText(QString::fromStdString(answers.front()));
    answers.erase(answers.begin());
    QTest::keyClick(name, Qt::Key_Return);
  });
  user.start(20);
  auto* menu = form.findChild<QMenu*>("ImportMenu");
  ASSERT_NE(menu, nullptr);
  menu->actions()[0]->trigger();
  user.stop();
  EXPECT_EQ(titles, (QStringList{msg::kImportPetabTitle, msg::kImportSaveTitle}));
  for (const char* file : {"boehm.mod", "boehm.dim", "boehm.zkd", "boehm.par"})
    EXPECT_TRUE(std::filesystem::exists(folder.Path() / file)) << file;
  EXPECT_EQ(ws.ModelFileName, target);
  EXPECT_EQ(ws.MeasuredData.YData.EventCount, 17);
  EXPECT_EQ(ws.Parameters.Count, 11);
  EXPECT_EQ(ws.Names.Parameters.front(), "Epo_degradation_BaF3");
  EXPECT_EQ(ws.Problem().ObjectiveKind, TObjectiveKind::Likelihood);
  EXPECT_TRUE(form.MessagePane()->toPlainText().contains("Imported Boehm_JProteomeRes2014.yaml as boehm.mod"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !ws.Model.LibFileName.empty(); }, 60000));
  form.Command("OptimizeLMAction")->trigger();
  EXPECT_LE(ws.Estimation().BestObjective, 138.22199970618 + 1e-3);
  EXPECT_GT(ws.Estimation().BestObjective, 138.0);
}

}  // namespace
}  // namespace zelk

namespace zelk {
namespace {

// Compute > Multi-start on a compiled model: the starts run in child processes while the
// window serves, the best start's values are the parameters, and the Flow page's plot is the
// waterfall of the starts.
TEST(MainWindow, MultiStartFromTheComputeMenuFitsFromEveryStartAndDrawsTheWaterfall) {
  test::TempFolder folder;
  TMForm form;
  form.show();
  Workspace& ws = form.Ws();
  ASSERT_TRUE(OpenCompiledDecay(form, folder.Path().string()));
  ws.Prefs.MultiStarts = 6;
  ws.Parameters.MinBound[1] = 0.01;
  ws.Parameters.MaxBound[1] = 100;
  ws.Parameters.Scale[1] = TScale::Log10;
  QAction* command = form.Command("MultiStartAction");
  QMenu* compute = nullptr;
  for (QAction* menu : form.menuBar()->actions())
    if (menu->text() == "&Compute") compute = menu->menu();
  ASSERT_NE(compute, nullptr);
  ASSERT_TRUE(compute->actions().contains(command));
  command->trigger();
  const auto& starts = ws.Estimation().Result.Starts;
  ASSERT_EQ(starts.size(), 6u);
  const QString said = form.MessagePane()->toPlainText();
  EXPECT_TRUE(said.contains("Multi-start ended: 6 of 6 starts done, 0 failed")) << said.toStdString();
  EXPECT_EQ(ws.Parameters.Value[1], starts.front().Values[0]);
  EXPECT_NEAR(ws.Estimation().BestObjective, starts.front().Objective, 1e-12);
  auto* progress = form.findChild<PlotView*>("progress");
  ASSERT_NE(progress, nullptr);
  EXPECT_EQ(WaterfallPlot(ws.Estimation().Result).Series[0].Points.size(), 6u);
  EXPECT_NE(WaterfallPlot(ws.Estimation().Result).Title.find("of 6 starts reached the best"), std::string::npos);
  // Beside it, where the best starts ended within the bounds (log10: the decade's share).
  auto* best = form.findChild<PlotView*>("bestStarts");
  ASSERT_NE(best, nullptr);
  EXPECT_TRUE(best->isVisible());
  const XYPlot where = BestStartsPlot(ws.Estimation().Result, ws.Parameters);
  ASSERT_FALSE(where.Series.empty());
  ASSERT_EQ(where.Series[0].Points.size(), 1u);
  EXPECT_NEAR(where.Series[0].Points[0].second, (std::log10(ws.Parameters.Value[1]) + 2) / 4, 1e-12);
}

}  // namespace
}  // namespace zelk
