// The day-long window, driven by keys and menus as a user would: undo after a wrong paste,
// Escape in a refused cell, the Messages pane that follows its newest line, File > Recent,
// the chart's own View switches.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "support/temp_folder.h"
#include "ui/data_grid_view.h"
#include "ui/main_window.h"

namespace zelk {
namespace {

// Answers every message box with its default button and keeps its text.
struct Boxes {
  QStringList Texts;
  QTimer Timer;
  Boxes() {
    QObject::connect(&Timer, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        Texts << box->text();
        box->accept();
      }
    });
    Timer.start(20);
  }
};

class Editing : public ::testing::Test {
 protected:
  // One independent and one dependent variable over three events, the grid focused in an
  // active window so that the Edit menu's keys reach it.
  void SetUp() override {
    form_.show();
    form_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form_));
    Workspace& ws = form_.Ws();
    ws.Dimensions().SetText(Dimension::Events, "3");
    ws.SetDataSaved(true);
    grid_ = form_.Grid();
    grid_->setFocus();
    grid_->setCurrentIndex(grid_->model()->index(0, 0));
  }
  QString Cell(int row, int col) {
    return grid_->model()->data(grid_->model()->index(row, col)).toString();
  }

  TMForm form_;
  DataGridView* grid_ = nullptr;
};

TEST_F(Editing, AWrongPasteIsUndoneAndRedoneWithTheKeysAndEachKeyActsOnce) {
  Boxes boxes;
  QApplication::clipboard()->setText("1\t2\t3\r\n4\t5\t6\r\n");
  // Ctrl let go before V: the paste happens when the keys go down, once.
  QTest::keyPress(grid_, Qt::Key_Control, Qt::ControlModifier);
  QTest::keyPress(grid_, Qt::Key_V, Qt::ControlModifier);
  QTest::keyRelease(grid_, Qt::Key_Control);
  QTest::keyRelease(grid_, Qt::Key_V);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.Texts.isEmpty(); }, 5000));
  QTest::qWait(100);
  EXPECT_EQ(boxes.Texts.size(), 1);  // one paste, one box
  EXPECT_TRUE(boxes.Texts[0].contains("2 values were left out")) << boxes.Texts[0].toStdString();
  EXPECT_EQ(Cell(0, 0), "1");
  EXPECT_EQ(Cell(1, 1), "5");
  EXPECT_EQ(Cell(2, 0), "#");

  QTest::keyClick(grid_, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Cell(0, 0), "#");
  EXPECT_EQ(Cell(1, 1), "#");
  QTest::keyClick(grid_, Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(Cell(1, 1), "5");
  form_.Command("UndoAction")->trigger();  // the Edit menu's entry does the same
  EXPECT_EQ(Cell(1, 1), "#");

  // Copy acts once on its key, with the modifier let go first too.
  grid_->setCurrentIndex(grid_->model()->index(2, 0));
  QApplication::clipboard()->clear();
  QTest::keyPress(grid_, Qt::Key_Control, Qt::ControlModifier);
  QTest::keyPress(grid_, Qt::Key_C, Qt::ControlModifier);
  QTest::keyRelease(grid_, Qt::Key_Control);
  QTest::keyRelease(grid_, Qt::Key_C);
  EXPECT_EQ(QApplication::clipboard()->text(), "\r\n");  // event 3 holds a missing value
}

TEST_F(Editing, EscapeInARefusedCellBringsBackItsValue) {
  Boxes boxes;
  form_.Ws().Grid().StoreCell(1, 1, true, 0.25);
  form_.Ws().Grid().RewriteFromData();
  QTest::keyClick(grid_, '1');
  auto* editor = grid_->viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, ",5");
  QTest::keyClick(editor, Qt::Key_Return);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.Texts.isEmpty(); }, 5000));
  EXPECT_EQ(boxes.Texts[0], "Invalid numeric format!");
  QTest::keyClick(editor, Qt::Key_Escape);
  EXPECT_FALSE(form_.Ws().Grid().EditorOpen());
  EXPECT_EQ(Cell(0, 0), "0.25000");
  EXPECT_EQ(form_.Ws().MeasuredData.XData.X[1][1], 0.25);
}

TEST_F(Editing, TheMessagesPaneFollowsItsNewestLineUnlessScrolledUp) {
  form_.resize(900, 600);
  Workspace& ws = form_.Ws();
  for (int i = 1; i <= 60; ++i) ws.Log.AddMessage("line " + std::to_string(i));
  QApplication::processEvents();
  QScrollBar* bar = form_.MessagePane()->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  bar->setValue(0);  // the user reads older lines
  ws.Log.AddMessage("line 61");
  QApplication::processEvents();
  EXPECT_EQ(bar->value(), 0);
  bar->setValue(bar->maximum());
  ws.Log.AddMessage("line 62");
  QApplication::processEvents();
  EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(Editing, FileRecentReopensTheFilesOpenedLast) {
  test::TempFolder folder;
  Workspace& ws = form_.Ws();
  ws.OpenDataPath(std::string(EXAMPLES) + "/abc.zkd");
  ws.OpenDataPath(std::string(EXAMPLES) + "/decay.zkd");
  auto* recent = form_.findChild<QMenu*>("RecentMenu");
  ASSERT_NE(recent, nullptr);
  emit recent->aboutToShow();
  QStringList entries;
  for (QAction* a : recent->actions()) entries << a->text();
  EXPECT_EQ(entries, (QStringList{"&1 decay.zkd", "&2 abc.zkd"}));
  recent->actions()[1]->trigger();
  EXPECT_EQ(ws.DataFileName, std::string(EXAMPLES) + "/abc.zkd");
  // A file that is gone says so and leaves the list.
  const std::string gone = folder.File("gone.zkd");
  ws.RememberRecent(gone);
  Boxes boxes;
  ws.OpenRecent(gone);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !boxes.Texts.isEmpty(); }, 5000));
  EXPECT_EQ(ws.Prefs.RecentFiles[0], std::string(EXAMPLES) + "/abc.zkd");
}

TEST_F(Editing, TheViewMenuSwitchesTheLogAxisAndTheLegend) {
  Workspace& ws = form_.Ws();
  EXPECT_TRUE(ws.Prefs.ChartLegend);
  form_.Command("LegendAction")->trigger();
  EXPECT_FALSE(ws.Prefs.ChartLegend);
  EXPECT_FALSE(form_.Command("LegendAction")->isChecked());
  form_.Command("LogYAxisAction")->trigger();
  EXPECT_TRUE(ws.Prefs.LogYAxis);
  EXPECT_TRUE(form_.Command("LogYAxisAction")->isChecked());
}

TEST_F(Editing, AValueTypedInTheParametersGridIsUndoneWithTheKeysAndItsDetailsStillCopy) {
  Workspace& ws = form_.Ws();
  auto* values = form_.findChild<QTableView*>("ParamGrid");
  ASSERT_NE(values, nullptr);
  form_.ShowPage(Page::Parameters);
  values->setFocus();
  values->setCurrentIndex(values->model()->index(0, 0));
  QTest::keyClick(values, '2');
  auto* editor = values->viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, ".5");
  QTest::keyClick(editor, Qt::Key_Return);
  ASSERT_EQ(ws.Parameters.Value[1], 2.5);
  values->setFocus();
  QTest::keyClick(values, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(ws.Parameters.Value[1], 1);
  QTest::keyClick(values, Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(ws.Parameters.Value[1], 2.5);
  // The details grid copies by itself; the Edit menu's Ctrl+C does not take the key from it.
  auto* details = form_.findChild<QTableView*>("PDGrid");
  ASSERT_NE(details, nullptr);
  form_.ShowPage(Page::ParameterDetails);
  details->setFocus();
  details->setCurrentIndex(details->model()->index(0, 0));
  QApplication::clipboard()->clear();
  QTest::keyClick(details, Qt::Key_C, Qt::ControlModifier);
  EXPECT_TRUE(QApplication::clipboard()->text().startsWith("2.5")) << QApplication::clipboard()->text().toStdString();
}

TEST_F(Editing, TheObjectiveTypeClickedOnTheFlowPageIsRememberedForTheNextSession) {
  form_.ShowPage(Page::Flow);
  QRadioButton* likelihood = nullptr;
  for (QRadioButton* b : form_.findChildren<QRadioButton*>())
    if (b->text() == "Likelihood") likelihood = b;
  ASSERT_NE(likelihood, nullptr);
  QApplication::processEvents();
  ASSERT_TRUE(likelihood->isVisible());
  QTest::mouseClick(likelihood, Qt::LeftButton, {}, QPoint(5, likelihood->height() / 2));
  EXPECT_EQ(form_.Ws().Problem().ObjectiveKind, TObjectiveKind::Likelihood);
  EXPECT_EQ(form_.Ws().Prefs.Objective, static_cast<int>(TObjectiveKind::Likelihood));
}

}  // namespace
}  // namespace zelk
