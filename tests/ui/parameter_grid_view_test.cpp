// The parameter grid widgets over the core grids, offscreen: what they show is the core's, and
// what a user types or clicks reaches the record.

#include "ui/parameter_grid_view.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include "base/messages.h"
#include "support/scripted_ui.h"

namespace zelk {
namespace {

// Repaint requests reach the views as the main window passes them on.
class WindowUi : public test::ScriptedUi {
 public:
  std::vector<ParameterGridView*> Views;
  void Repaint(View view) override {
    ScriptedUi::Repaint(view);
    if (view == View::ParameterGrids)
      for (ParameterGridView* v : Views) v->FollowCore();
  }
};

class ParameterGridViewTest : public ::testing::Test {
 protected:
  ParameterGridViewTest()
      : grids_(
            record_, fit_, names_, ui_, [this](int i, double v) { record_.Value[i] = record_.TrialValue[i] = v; },
            [] {}),
        values_(grids_.ParamGrid()),
        details_(grids_.PDGrid()) {
    record_.Count = 2;
    record_.Value[1] = 0;  // on its lower bound
    record_.Fixed[2] = true;
    grids_.RefreshValueColumn(RefreshRows::All);
    grids_.RefreshDetails({1, 2, 3, 4, 5, 6}, RefreshRows::All);
    ui_.Views = {&values_, &details_};
    for (ParameterGridView* view : {&values_, &details_}) {
      view->resize(640, 300);
      view->show();
    }
  }
  static QVariant Cell(QTableView& view, int row, int column, int role = Qt::DisplayRole) {
    return view.model()->data(view.model()->index(row, column), role);
  }
  // Types into the current cell as a user does: the first key opens the editor.
  static QLineEdit* Type(QTableView& view, const QString& text) {
    QTest::keyClick(&view, text[0].toLatin1());
    QLineEdit* editor = OpenEditor(view);
    if (editor) QTest::keyClicks(editor, text.mid(1));
    return editor;
  }
  static QLineEdit* OpenEditor(QTableView& view) {
    for (auto* editor : view.findChildren<QLineEdit*>())
      if (editor->isVisible()) return editor;
    return nullptr;
  }

  TParameterRecord record_ = StartParameterRecord();
  FitResult fit_;
  ModelNames names_;
  WindowUi ui_;
  ParameterGrids grids_;
  ParameterGridView values_;
  ParameterGridView details_;
};

TEST_F(ParameterGridViewTest, ShowsTheCoresTextsColoursAndLayout) {
  QAbstractItemModel* model = details_.model();
  EXPECT_EQ(model->columnCount(), 7);
  EXPECT_EQ(model->rowCount(), 20);
  EXPECT_EQ(model->headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(), "Std. Error");
  EXPECT_EQ(model->headerData(3, Qt::Horizontal, Qt::ToolTipRole).toString(),
            "95 % half-width: t(ν) × standard error");
  EXPECT_FALSE(model->headerData(4, Qt::Horizontal, Qt::ToolTipRole).isValid());
  EXPECT_EQ(model->headerData(19, Qt::Vertical, Qt::DisplayRole).toString(), "20.");
  EXPECT_EQ(Cell(values_, 0, 0).toString(), "0.0000000");
  EXPECT_EQ(Cell(details_, 1, 2).toString(), "10000.0");
  EXPECT_EQ(Cell(details_, 1, 3).toString(), "");  // no standard error computed
  EXPECT_EQ(Cell(details_, 0, 0, Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 255));
  EXPECT_EQ(Cell(details_, 1, 0, Qt::ForegroundRole).value<QColor>(), QColor(128, 128, 128));
  EXPECT_EQ(Cell(values_, 1, 0, Qt::ForegroundRole).value<QColor>(), QColor(128, 128, 128));

  EXPECT_EQ(details_.font().pixelSize(), 12);
  EXPECT_EQ(details_.rowHeight(0), 18);
  EXPECT_EQ(details_.verticalHeader()->width(), 30);
  const std::vector<int> widths = ShareColumnWidths(30 + details_.viewport()->width(), 30, 8);
  for (int c = 0; c < 7; ++c) EXPECT_EQ(details_.columnWidth(c), widths[c + 1]) << c;
  EXPECT_EQ(values_.columnWidth(0), values_.viewport()->width());

  // The selected details cell is painted yellow, its neighbour is not.
  details_.setCurrentIndex(details_.model()->index(0, 1));
  const QImage image = details_.viewport()->grab().toImage();
  const auto pixel = [&](int column) {
    return image.pixelColor(details_.columnViewportPosition(column) + 4,
                            details_.rowViewportPosition(0) + 4);
  };
  EXPECT_EQ(pixel(1), QColor(Qt::yellow));
  EXPECT_NE(pixel(2), QColor(Qt::yellow));
}

TEST_F(ParameterGridViewTest, TypedTextsReachTheRecordThroughTheCore) {
  values_.setFocus();
  values_.setCurrentIndex(values_.model()->index(1, 0));
  QLineEdit* editor = Type(values_, "2.5");
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->text(), "2.5");
  QTest::keyClick(editor, Qt::Key_Up);  // leaving the cell stores it
  EXPECT_EQ(record_.Value[2], 2.5);
  EXPECT_EQ(record_.TrialValue[2], 2.5);
  EXPECT_EQ(Cell(details_, 1, 0).toString(), "2.5");
  EXPECT_EQ(values_.currentIndex().row(), 0);
  EXPECT_EQ(grids_.ParamGrid().CurrentRow(), 1);

  // Details: a key opens the editor, Right stores the bound and moves on.
  details_.setFocus();
  details_.setCurrentIndex(details_.model()->index(0, 1));
  editor = Type(details_, "-3");
  ASSERT_NE(editor, nullptr);
  QTest::keyClick(editor, Qt::Key_Right);
  EXPECT_EQ(record_.MinBound[1], -3.0);
  EXPECT_EQ(record_.Region[1], 10000.0);
  EXPECT_EQ(details_.currentIndex().column(), 2);

  editor = Type(details_, "1,5");
  ASSERT_NE(editor, nullptr);
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{msg::kInvalidNumber});
  EXPECT_EQ(record_.MaxBound[1], 10000.0);
}

TEST_F(ParameterGridViewTest, RowLabelsToggleFixedAndCtrlCCopiesTheDetails) {
  QWidget* labels = details_.verticalHeader()->viewport();
  const auto release = [&](int row) {
    QTest::mouseRelease(labels, Qt::LeftButton, {},
                        QPoint(10, details_.rowViewportPosition(row) + 9));
  };
  release(0);
  release(2);  // beyond Count
  EXPECT_TRUE(record_.Fixed[1]);
  EXPECT_FALSE(record_.Fixed[3]);
  EXPECT_EQ(Cell(details_, 0, 0, Qt::ForegroundRole).value<QColor>(), QColor(128, 128, 128));

  details_.setCurrentIndex(details_.model()->index(0, 1));
  details_.selectionModel()->select(
      QItemSelection(details_.model()->index(0, 1), details_.model()->index(1, 2)),
      QItemSelectionModel::ClearAndSelect);
  QTest::keyClick(&details_, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(ui_.Clipboard, "0.00000\t10000.0\r\n0.00000\t10000.0\r\n");
}

TEST_F(ParameterGridViewTest, ARefusedTextKeepsItsCellItsEditorAndTheFocus) {
  QWidget window;
  auto* view = new ParameterGridView(grids_.ParamGrid());
  ui_.Views.push_back(view);
  auto* elsewhere = new QLineEdit;
  auto* layout = new QVBoxLayout(&window);
  layout->addWidget(view);
  layout->addWidget(elsewhere);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  view->setFocus();
  QLineEdit* editor = Type(*view, "x");
  ASSERT_NE(editor, nullptr);
  QTest::keyClick(editor, Qt::Key_Down);
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{msg::kInvalidNumber});
  // The view goes back to the refused cell and reopens its editor once the move is done.
  ASSERT_TRUE(QTest::qWaitFor([&] { return OpenEditor(*view) != nullptr; }, 1000));
  EXPECT_EQ(view->currentIndex().row(), 0);
  EXPECT_EQ(OpenEditor(*view)->text(), "x");

  elsewhere->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{msg::kInvalidNumber});
  EXPECT_TRUE(QTest::qWaitFor([&] { return view->hasFocus(); }, 1000));
  EXPECT_EQ(OpenEditor(*view), nullptr);
  EXPECT_EQ(record_.Value[1], 0.0);
}

}  // namespace
}  // namespace zelk

namespace zelk {
namespace {

TEST_F(ParameterGridViewTest, GrowsWithTheParametersShowsTheirNamesAndTakesATypedScale) {
  // Named while there are two parameters, then grown to 45: the rows past 20 get names too.
  names_.Parameters = {"k_forward_binding"};
  for (int k = 2; k <= 30; ++k) names_.Parameters.push_back("k" + std::to_string(k));
  grids_.Label();
  Resize(record_, 45);
  grids_.RefreshDetails({1, 2, 3, 4, 5, 6, kScaleColumn}, RefreshRows::All);
  EXPECT_EQ(details_.model()->rowCount(), 45);
  EXPECT_EQ(details_.model()->headerData(29, Qt::Vertical, Qt::DisplayRole).toString(), "k30");
  EXPECT_EQ(details_.model()->headerData(44, Qt::Vertical, Qt::DisplayRole).toString(), "45.");
  // The label column is as wide as the longest name.
  const int nameWidth = details_.verticalHeader()->fontMetrics().horizontalAdvance("k_forward_binding");
  EXPECT_GE(details_.verticalHeader()->width(), nameWidth);
  EXPECT_EQ(Cell(details_, 44, 6).toString(), "linear");

  // Typed into row 45's Scale cell: a wrong name is refused, log10 is stored.
  details_.setFocus();
  details_.setCurrentIndex(details_.model()->index(44, 6));
  ui_.Answers = {Answer::Ok};
  QLineEdit* editor = Type(details_, "dec");
  ASSERT_NE(editor, nullptr);
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{msg::kInvalidScale});
  editor = OpenEditor(details_);
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  QTest::keyClicks(editor, "log10");
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_EQ(record_.Scale[45], TScale::Log10);

  // Its standard error reads as a factor.
  record_.Value[45] = 2;
  record_.MinBound[45] = 1e-3;
  record_.StdError[45] = 0.25;
  record_.StdErrValid[45] = true;
  grids_.RefreshDetails({4}, RefreshRows::UpToCount);
  EXPECT_EQ(Cell(details_, 44, 3).toString(), QString::fromUtf8("x/\u00f7 1.77828"));
}

}  // namespace
}  // namespace zelk
