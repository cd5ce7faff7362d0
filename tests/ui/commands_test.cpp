// Every command of the window in its place: the catalogue's captions, hints and groups, and
// every menu item, toolbar button and pop-up entry walked once to see that it reaches its
// command. Then the data grid's keys and the Edit menu as a user works them.

#include <gtest/gtest.h>

#include <map>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWidgetAction>

#include "base/messages.h"
#include "estimation/operation.h"
#include "ui/data_grid_view.h"
#include "ui/fit_chart_view.h"
#include "ui/main_window.h"
#include "ui/parameter_grid_view.h"
#include "ui/report_box.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace zelk {
namespace {

struct CommandSpec {
  const char* name;
  const char* caption;
  const char* hint;
  const char* group;
};

const CommandSpec kCatalogue[] = {
    {"NewDataFile", "&New Data File", "Create New Data File", "FileHandling"},
    {"OpenDataFile", "Open &Data File", "Load Experimental Data from File", "FileHandling"},
    {"SaveDataFile", "&Save Data File", "Save Experimental Data File", "FileHandling"},
    {"SaveDataFileAs", "S&ave Data File As ...", "Save Experimental Data File Under A New Name",
     "FileHandling"},
    {"NewModelFile", "Ne&w Model File", "Create New Model File", "FileHandling"},
    {"OpenModelFile", "Open &Model File", "Open Model File", "FileHandling"},
    {"SaveModelFile", "Save Model &File", "Save Model Source File and Dimensions", "FileHandling"},
    {"SaveModelFileAs", "Sa&ve Model File As ...",
     "Save Model Source File and Dimensions under New Name", "FileHandling"},
    {"ImportPetabProblem", "&PEtab Problem...",
     "Import a PEtab Estimation Problem as a Model, its Data and Parameters", "FileHandling"},
    {"ImportSbmlModel", "&SBML Model...", "Import an SBML Model as a Model File", "FileHandling"},
    {"ImportParametersAction", "&Import Parameters...", "", "FileHandling"},
    {"ExportParametersAction", "&Export Parameters...", "", "FileHandling"},
    {"ExitAction", "E&xit", "", "General"},
    {"Preferences", "&Preferences ...", "", "General"},
    {"EditfcPropertiesAction", "&Fit Chart Properties ...", "", "General"},
    {"GenerateSource", "Generate &Source Preview", "", "ModelGeneration"},
    {"CompileAction", "&Compile", "", "ModelGeneration"},
    {"CompilePascalAction", "Compile &Pascal", "", "ModelGeneration"},
    {"OptimizeAction", "&Optimize", "", "Optimization"},
    {"OptimizeLJAction", "Optimize &LJ", "", "Optimization"},
    {"OptimizeWLAction", "Optimize &WL", "", "Optimization"},
    {"OptimizeGNAction", "Optimize &GN", "", "Optimization"},
    {"OptimizeLMAction", "Optimize &LM", "", "Optimization"},
    {"MultiStartAction", "&Multi-start", "Many LM Fits from Starts Spread over the Bounds", "Optimization"},
    {"StopAction", "&Stop", "", "Optimization"},
    {"CutAction", "Cu&t", "", "Edit"},
    {"CopyAction", "&Copy", "", "Edit"},
    {"PasteAction", "&Paste", "", "Edit"},
    {"DeleteAction", "&Delete", "", "Edit"},
    {"UndoAction", "&Undo", "", "Edit"},
    {"RedoAction", "&Redo", "", "Edit"},
    {"StdErr", "Standard &Errors", "", "Statistics"},
    {"CovariancesAction", "Normalized &Covariances", "", "Statistics"},
    {"FLimitAction", "&F-Limit", "", "Statistics"},
    {"AllFLimitsAction", "&All F-Limits", "", "Statistics"},
    {"ResidualAction", "Autocorelation &Test", "", "Statistics"},
    {"ReportPreviewAction", "&Report Preview", "", "Report"},
    {"PrintReportAction", "&Print Report ...", "", "Report"},
    {"SaveReport", "&Save ...", "", "Report"},
    {"ExportFitchart", "&Export Fitchart ...", "", "Report"},
    {"PrintFitChartAction", "Print &Fit Chart ...", "", "Report"},
    {"PaintBoundary", "&Paint Limit Curve", "", "Report"},
    {"DesignPointAction", "Design next point ...", "", "Design"},
    {"DesignModeAction", "&Design Mode", "", "Design"},
    {"LogYAxisAction", "&Logarithmic Y Axis", "The Fit Chart's Y Axis in Decades", "General"},
    {"LegendAction", "Le&gend", "The Fit Chart Names its Responses", "General"},
};

// QObject::receivers is protected; the walk asks it of the window's own actions.
struct ActionProbe : QAction {
  static int Receivers(QAction* action) {
    return static_cast<ActionProbe*>(action)->receivers(SIGNAL(triggered(bool)));
  }
};

// The window with its commands cut off from the workspace: triggering one only records it.
class CommandWalk : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(form_.Ws().ReadDataFile(std::string(EXAMPLES) + "/decay.zkd"));
    for (const CommandSpec& spec : kCatalogue) {
      QAction* command = form_.Command(spec.name);
      ASSERT_NE(command, nullptr) << spec.name;
      commands_.push_back(command);
    }
  }
  void Record() {
    for (QAction* command : commands_) {
      QObject::disconnect(command, &QAction::triggered, nullptr, nullptr);
      QObject::connect(command, &QAction::triggered,
                       [this, command] { reached_ << command->objectName(); });
    }
  }
  // "caption=command" for an entry, "-" for a separator, "Submenu>" before a submenu's own.
  QStringList Walk(const QList<QAction*>& actions, const QString& prefix = {}) {
    QStringList lines;
    for (QAction* action : actions) {
      if (action->isSeparator()) {
        lines << prefix + "-";
      } else if (action->menu()) {
        lines << Walk(action->menu()->actions(), prefix + action->text() + ">");
      } else {
        lines << prefix + action->text() + "=" + Trigger(action);
      }
    }
    return lines;
  }
  QString Trigger(QAction* action) {
    reached_.clear();
    action->trigger();
    return reached_.join(",");
  }

  TMForm form_;
  std::vector<QAction*> commands_;
  QStringList reached_;
};

TEST_F(CommandWalk, EveryCommandHasItsCaptionHintAndGroupAndIsWired) {
  for (const CommandSpec& spec : kCatalogue) {
    QAction* command = form_.Command(spec.name);
    EXPECT_EQ(command->text(), spec.caption) << spec.name;
    EXPECT_EQ(command->statusTip(), spec.hint) << spec.name;
    EXPECT_EQ(command->property("group").toString(), spec.group) << spec.name;
    EXPECT_TRUE(command->isEnabled()) << spec.name;
    EXPECT_GT(ActionProbe::Receivers(command), 0) << spec.name << " runs nothing";
  }
  for (const char* name : {"PaintBoundary", "DesignModeAction", "LogYAxisAction", "LegendAction"})
    EXPECT_TRUE(form_.Command(name)->isCheckable()) << name;
  // The Edit menu shows its keys; no other command has one.
  const std::map<std::string, QKeySequence> keys = {
      {"UndoAction", QKeySequence::Undo},   {"RedoAction", QKeySequence(Qt::CTRL | Qt::Key_Y)},
      {"CutAction", QKeySequence::Cut},     {"CopyAction", QKeySequence::Copy},
      {"PasteAction", QKeySequence::Paste}, {"DeleteAction", QKeySequence::Delete}};
  for (const CommandSpec& spec : kCatalogue) {
    const auto key = keys.find(spec.name);
    EXPECT_EQ(form_.Command(spec.name)->shortcut(),
              key == keys.end() ? QKeySequence() : key->second)
        << spec.name;
  }
}

TEST_F(CommandWalk, TheMenuBarListsEveryCommandInItsDocumentedPlace) {
  Record();
  QStringList menus;
  for (QAction* menu : form_.menuBar()->actions()) menus << menu->text();
  EXPECT_EQ(menus, (QStringList{"&File", "&Edit", "&View", "&Model", "&Compute", "&Tools"}));
  auto walk = [&](int i) { return Walk(form_.menuBar()->actions()[i]->menu()->actions()); };
  EXPECT_EQ(
      walk(0),
      (QStringList{"&New Data File=NewDataFile", "Open &Data File=OpenDataFile",
                   "&Save Data File=SaveDataFile", "S&ave Data File As ...=SaveDataFileAs", "-",
                   "Ne&w Model File=NewModelFile", "Open &Model File=OpenModelFile",
                   "Save Model &File=SaveModelFile", "Sa&ve Model File As ...=SaveModelFileAs", "-",
                   "&Import>&PEtab Problem...=ImportPetabProblem",
                   "&Import>&SBML Model...=ImportSbmlModel", "-",
                   "&Report>Pre&view=ReportPreviewAction", "&Report>&Print ...=PrintReportAction",
                   "&Report>&Save ...=SaveReport", "Fit&chart>&Export ...=ExportFitchart",
                   "Fit&chart>&Print ...=PrintFitChartAction", "Recen&t>(none)=", "-",
                   "E&xit=ExitAction"}));
  EXPECT_EQ(walk(1), (QStringList{"&Undo=UndoAction", "&Redo=RedoAction", "-", "&Copy=CopyAction",
                                  "Cu&t=CutAction", "&Paste=PasteAction", "&Delete=DeleteAction",
                                  "-", "&Fit Chart Properties ...=EditfcPropertiesAction"}));
  EXPECT_EQ(walk(2),
            (QStringList{"&Paint Limit Curve=PaintBoundary", "&Design Mode=DesignModeAction", "-",
                         "&Logarithmic Y Axis=LogYAxisAction", "Le&gend=LegendAction"}));
  EXPECT_EQ(walk(3),
            (QStringList{"Generate &Source Preview=GenerateSource", "&Compile=CompileAction",
                         "&Export Parameters...=ExportParametersAction",
                         "&Import Parameters...=ImportParametersAction"}));
  EXPECT_EQ(
      walk(4),
      (QStringList{"&Optimize=OptimizeAction", "Optimize &LM=OptimizeLMAction", "&Multi-start=MultiStartAction", "&Stop=StopAction", "-", "Standard &Errors=StdErr",
                   "Normalized &Covariances=CovariancesAction", "&F-Limit=FLimitAction",
                   "&All F-Limits=AllFLimitsAction", "-", "Autocorelation &Test=ResidualAction"}));
  EXPECT_EQ(walk(5), (QStringList{"Design next point ...=DesignPointAction", "-",
                                  "&Preferences ...=Preferences"}));
}

TEST_F(CommandWalk, ThePopUpMenusReachTheirCommands) {
  Record();
  EXPECT_EQ(Walk(form_.FitChart()->actions()),
            (QStringList{"&Optimize=OptimizeAction", "&Stop=StopAction", "-",
                         "&Export ...=ExportFitchart", "&Print ...=PrintFitChartAction", "-",
                         "P&roperties ...=EditfcPropertiesAction"}));
  EXPECT_EQ(Walk(form_.Report()->actions()),
            (QStringList{"&Print ...=PrintReportAction", "&Save ...=SaveReport"}));
}

TEST_F(CommandWalk, ToolbarButtonsReachTheirCommandsAndDropDownsTakeTheLastChoice) {
  Record();
  auto* tools = form_.findChild<QToolBar*>("ToolBar");
  ASSERT_NE(tools, nullptr);
  QStringList buttons;
  for (QAction* action : tools->actions()) {
    if (action->isSeparator()) {
      buttons << "-";
    } else if (qobject_cast<QWidgetAction*>(action)) {
      auto* button = qobject_cast<QToolButton*>(tools->widgetForAction(action));
      ASSERT_NE(button, nullptr);
      buttons << "[" + button->defaultAction()->text() + "]";
      EXPECT_FALSE(button->defaultAction()->icon().isNull()) << button->objectName().toStdString();
    } else {
      EXPECT_FALSE(action->icon().isNull()) << action->text().toStdString();
      buttons << action->text() + "=" + Trigger(action);
    }
  }
  EXPECT_EQ(buttons,
            (QStringList{"New Data=NewDataFile", "Open Data=OpenDataFile", "[Save Data]", "-",
                         "New Model=NewModelFile", "Open Model=OpenModelFile", "[Save Model]",
                         "Compile=CompileAction", "-", "[Optimize]", "Stop=StopAction"}));

  struct Case {
    const char* button;
    int entry;
    const char* caption;  // the button's caption afterwards
    const char* command;  // what the entry and then the button run
  } cases[] = {
      {"SaveDataButton", 1, "Save As", "SaveDataFileAs"},
      {"SaveDataButton", 0, "Save Data", "SaveDataFile"},
      {"SaveModelButton", 1, "Save As", "SaveModelFileAs"},
      {"SaveModelButton", 0, "Save Model", "SaveModelFile"},
  };
  for (const auto& c : cases) {
    auto* button = form_.findChild<QToolButton*>(c.button);
    ASSERT_NE(button, nullptr) << c.button;
    const QIcon image = button->defaultAction()->icon();
    EXPECT_EQ(Trigger(button->menu()->actions()[c.entry]), c.command) << c.button;
    EXPECT_EQ(button->defaultAction()->text(), c.caption) << c.button;
    EXPECT_EQ(Trigger(button->defaultAction()), c.command) << c.button;
    EXPECT_EQ(button->defaultAction()->icon().cacheKey(), image.cacheKey()) << c.button;
  }
  QStringList entries;
  for (QAction* a : form_.findChild<QToolButton*>("SaveDataButton")->menu()->actions())
    entries << a->text();
  for (QAction* a : form_.findChild<QToolButton*>("SaveModelButton")->menu()->actions())
    entries << a->text();
  EXPECT_EQ(entries,
            (QStringList{"&Save Data", "S&ave Data As ...", "&Save Model", "Save Model As ..."}));
}

// ---------------------------------------------------------------- the grid as a user works it

// Answers every message box with `answer` and keeps its text.
struct BoxAnswers {
  QStringList Texts;
  QMessageBox::StandardButton Answer;
  QTimer Timer;
  explicit BoxAnswers(QMessageBox::StandardButton answer) : Answer(answer) {
    QObject::connect(&Timer, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        Texts << box->text();
        box->button(box->standardButtons() & Answer ? Answer : QMessageBox::Ok)->click();
      }
    });
    Timer.start(20);
  }
};

class GridKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    form_.show();
    form_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form_));
    ASSERT_TRUE(form_.Ws().ReadDataFile(std::string(EXAMPLES) + "/decay.zkd"));
    form_.Ws().SetDataSaved(true);
    view_ = form_.Grid();
    view_->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), view_);
  }
  QModelIndex Cell(int col, int row) { return view_->model()->index(row - 1, col - 1); }
  void Select(int left, int top, int right, int bottom) {
    view_->setCurrentIndex(Cell(left, top));
    view_->selectionModel()->select(QItemSelection(Cell(left, top), Cell(right, bottom)),
                                    QItemSelectionModel::ClearAndSelect);
  }
  const TDataSet& Data() { return form_.Ws().MeasuredData; }

  TMForm form_;
  DataGridView* view_ = nullptr;
};

TEST_F(GridKeys, CtrlCCopiesTheSelectionAndTheEditMenuPastesIt) {
  Select(1, 1, 2, 2);
  QTest::keyClick(view_, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "0.0000000\t1.0000000\r\n0.5000000\t0.8262000\r\n");
  EXPECT_FALSE(form_.Ws().DataSaved);  // any key marks the data, as documented
  Select(1, 10, 1, 10);
  form_.Command("PasteAction")->trigger();
  EXPECT_EQ(Data().XData.X[10][1], 0.0);
  EXPECT_EQ(Data().YData.M[11][1], 0.8262);
  EXPECT_EQ(view_->model()->data(Cell(2, 11)).toString(), "0.8262000");
}

TEST_F(GridKeys, DeleteClearsOneCellAtOnceAndAsksForMore) {
  Select(2, 1, 2, 1);
  QTest::keyClick(view_, Qt::Key_Delete);
  EXPECT_FALSE(Data().YData.Defined[1][1]);
  EXPECT_EQ(view_->model()->data(Cell(2, 1)).toString(), "#");
  EXPECT_FALSE(view_->indexWidget(Cell(2, 1)));  // Delete opens no editor

  Select(2, 2, 2, 3);
  {
    BoxAnswers no(QMessageBox::No);
    QTest::keyClick(view_, Qt::Key_Delete);
    EXPECT_EQ(no.Texts, QStringList{msg::kClearCells});
  }
  EXPECT_TRUE(Data().YData.Defined[2][1]);
  BoxAnswers yes(QMessageBox::Yes);
  // Offscreen, the window does not get the focus back from the box by itself.
  form_.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form_));
  view_->setFocus();
  form_.Command("DeleteAction")->trigger();
  EXPECT_EQ(yes.Texts, QStringList{msg::kClearCells});
  EXPECT_FALSE(Data().YData.Defined[2][1]);
  EXPECT_FALSE(Data().YData.Defined[3][1]);
}

TEST_F(GridKeys, LeftAndRightLeaveAnOpenEditorForTheNextColumn) {
  view_->setCurrentIndex(Cell(1, 5));
  QTest::keyClick(view_, '7');
  auto* editor = view_->viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  QTest::keyClick(editor, Qt::Key_Right);
  EXPECT_EQ(Data().XData.X[5][1], 7.0);
  EXPECT_EQ(view_->currentIndex(), Cell(2, 5));
  EXPECT_EQ(form_.Ws().Grid().CurrentColumn(), 2);
}

TEST_F(GridKeys, TheEditMenuActsOnTheModelEditorWhenItHasTheFocus) {
  form_.ShowPage(Page::Model);
  QPlainTextEdit* editor = form_.ModelEditor();
  form_.Ws().ModelTextChanged("");
  editor->setPlainText("k = 1;");
  editor->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), editor);
  editor->selectAll();
  form_.Command("CutAction")->trigger();
  EXPECT_EQ(editor->toPlainText(), "");
  EXPECT_EQ(QApplication::clipboard()->text(), "k = 1;");
  form_.Command("PasteAction")->trigger();
  form_.Command("PasteAction")->trigger();
  EXPECT_EQ(editor->toPlainText(), "k = 1;k = 1;");
  EXPECT_EQ(form_.Ws().ModelText, "k = 1;k = 1;");
  EXPECT_TRUE(Data().YData.Defined[1][1]);  // the grid was not touched
}

// A refused number shows its box from inside the key handler; the box runs its own event loop.
TEST_F(GridKeys, ARefusedNumberAfterEnterKeepsItsEditorOpenAndSelected) {
  form_.Ws().SetParameterValue(1, 0.5);
  struct Case {
    QTableView* view;
    QString typed, correction;
  } cases[] = {{view_, "abc", "1"}, {view_, "0,5", "1"}, {form_.ParamGridView(), "abc", "0.5"}};
  const auto openEditor = [](QTableView* view) -> QLineEdit* {
    for (auto* editor : view->viewport()->findChildren<QLineEdit*>())
      if (editor->isVisible()) return editor;
    return nullptr;
  };
  for (const Case& c : cases) {
    form_.ShowPage(c.view == view_ ? Page::Data : Page::Parameters);
    form_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form_));
    c.view->setFocus();
    c.view->setCurrentIndex(c.view->model()->index(0, 1 - (c.view != view_)));
    QTest::keyClick(c.view, c.typed[0].toLatin1());  // the first key opens the editor
    QLineEdit* editor = openEditor(c.view);
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, c.typed.mid(1));
    BoxAnswers ok(QMessageBox::Ok);
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(ok.Texts, QStringList{msg::kInvalidNumber});
    QApplication::processEvents();
    editor = openEditor(c.view);
    ASSERT_NE(editor, nullptr) << c.typed.toStdString();
    EXPECT_EQ(editor->text(), c.typed);
    EXPECT_EQ(editor->selectedText(), c.typed);
    EXPECT_EQ(QApplication::focusWidget(), editor);
    // Typing replaces the selected text; Enter stores it and closes the editor.
    QTest::keyClicks(editor, c.correction);
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(openEditor(c.view), nullptr);
  }
  EXPECT_EQ(Data().YData.M[1][1], 1.0);
  EXPECT_EQ(form_.Ws().Parameters.Value[1], 0.5);
}

}  // namespace
}  // namespace zelk
