// The Fit Chart page in the window: what a user sees after a fit, the visibility buttons,
// the properties dialog, the menus, printing and picture files.

#include "ui/fit_chart_view.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFontDialog>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "ui/fit_properties_dialog.h"
#include "workspace/fit_plots.h"
#include "ui/main_window.h"

namespace zelk {
namespace {

// Pixels darker than mid grey: markers, curves, frame and labels.
int DarkPixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 128) ++n;
  return n;
}

class FitChartPage : public ::testing::Test {
 protected:
  // The decay example with its model loaded and a fitted rate constant, the page in front.
  void SetUp() override {
    form_.resize(1000, 680);
    form_.show();
    Workspace& ws = form_.Ws();
    // Black markers and no legend: the dark pixels are the data's.
    ws.Prefs.ChartLegend = false;
    ws.Preferences.Series = TSeriesStyles{};
    ASSERT_TRUE(ws.ReadDataFile(std::string(EXAMPLES) + "/decay.zkd"));
    ws.SetDataSaved(true);
    ws.Dimensions().SetText(Dimension::DifEq, "1");
    ws.Model.LoadModelLibrary(std::string(MODEL_DIR) + "/decay.dll", BoxesOf(form_));
    ASSERT_FALSE(ws.Model.LibFileName.empty());
    ws.SetParameterValue(1, 0.352);
    form_.RightPages()->setCurrentWidget(form_.FitChart());
  }
  QImage Shot() {
    QApplication::processEvents();
    return form_.FitChart()->grab().toImage();
  }
  QAction* MenuEntry(QMenu* menu, const QString& caption) {
    for (QAction* a : menu->actions())
      if (a->text() == caption) return a;
    return nullptr;
  }
  QMenu* Menu(const QString& caption) {
    for (QAction* a : form_.menuBar()->actions())
      if (a->text() == caption) return a->menu();
    return nullptr;
  }

  TMForm form_;
};

TEST_F(FitChartPage, AfterAFitThePageShowsMarkersAndTheCurveAndHidesWhatTheTreeHides) {
  Workspace& ws = form_.Ws();
  const QImage fitted = Shot();
  EXPECT_TRUE(ws.Chart().CurveReady);  // the paint solved the chart's data set
  const QString shot = qEnvironmentVariable("ZELK_SCREENSHOT_CHART");
  if (!shot.isEmpty()) form_.grab().save(shot);

  ws.BranchList.Select(VisibilityTree::ResponseIndex(1, 1));
  ws.BranchList.HideObjectBtnClick();
  const QImage hidden = Shot();
  EXPECT_LT(DarkPixels(hidden) * 2, DarkPixels(fitted));  // frame and labels remain
  EXPECT_GT(DarkPixels(hidden), 0);

  ws.BranchList.ShowObjectBtnClick();
  EXPECT_EQ(Shot(), fitted);

  ws.Model.UnloadModelLibrary(BoxesOf(form_));
  ws.Chart().CurveReady = false;
  form_.Repaint(View::FitChart);
  EXPECT_LT(DarkPixels(Shot()), DarkPixels(fitted));  // the markers without the curve
}

// Beside the chart, the measurements against the model's values at the same events.
TEST_F(FitChartPage, TheFitPlotsShowEachMeasurementAgainstItsModelValue) {
  Workspace& ws = form_.Ws();
  auto* plots = form_.findChild<QWidget*>("FitPlots");
  ASSERT_NE(plots, nullptr);
  form_.RightPages()->setCurrentWidget(plots);
  QWidget* observed = plots->findChild<QWidget*>("ObservedPredicted");
  ASSERT_NE(observed, nullptr);
  QApplication::processEvents();
  const QImage before = observed->grab().toImage();
  const TYData* y = ws.PredictedData();
  ASSERT_NE(y, nullptr);
  int defined = 0;
  for (int j = 1; j <= y->EventCount; ++j) defined += y->Defined[j][1];
  const XYPlot plot = ObservedPredictedPlot(y, ws.Preferences.Series, ws.Names);
  ASSERT_EQ(plot.Series.size(), 1u);
  EXPECT_EQ(static_cast<int>(plot.Series[0].Points.size()), defined);
  for (const auto& [c, m] : plot.Series[0].Points) EXPECT_NEAR(c, m, 0.1);  // a good fit
  // A new value is solved again: the picture changes.
  ws.SetParameterValue(1, 0.9);
  QApplication::processEvents();
  EXPECT_NE(observed->grab().toImage(), before);
}

TEST_F(FitChartPage, ThePropertiesDialogChangesTheTitleAndTheRange) {
  const QImage before = Shot();
  TFitPropDlg* dialog = form_.FitPropDialog();
  dialog->ChooseFont = [](const FontChoice& current) -> std::optional<FontChoice> {
    FontChoice bold = current;
    bold.Font.setBold(true);
    bold.Font.setPointSize(16);
    bold.Color = QColor(0, 0, 200);
    return bold;
  };
  QTimer::singleShot(0, [dialog] {
    dialog->findChild<QCheckBox*>("fchpTitle")->click();
    QLineEdit* title = dialog->findChild<QLineEdit*>("fchpTitleText");
    title->selectAll();
    QTest::keyClicks(title, "Decay of A");
    dialog->findChild<QAbstractButton*>("fchpTitleFont")->click();
    dialog->Pages()->setCurrentIndex(1);
    QLineEdit* max = dialog->findChild<QLineEdit*>("MaxXScale");
    EXPECT_FALSE(max->isEnabled());
    dialog->findChild<QWidget*>("XScaleRadio")->findChildren<QRadioButton*>()[1]->click();
    EXPECT_TRUE(max->isEnabled());
    max->selectAll();
    QTest::keyClicks(max, "5");
    const QString shot = qEnvironmentVariable("ZELK_SCREENSHOT_FITPROPS");
    if (!shot.isEmpty()) {
      dialog->grab().save(shot + "-x.png");
      dialog->Pages()->setCurrentIndex(0);
      dialog->grab().save(shot + "-texts.png");
    }
    dialog->accept();
  });
  form_.Command("EditfcPropertiesAction")->trigger();
  const TDescription& title = form_.Ws().Preferences.Descriptions[kTitleDesc];
  EXPECT_TRUE(title.Active);
  EXPECT_EQ(title.Caption, "Decay of A");
  EXPECT_TRUE(title.Bold);
  EXPECT_EQ(title.Size, 16);
  EXPECT_EQ(title.Color, 0xC80000);  // blue 200, red in the lowest byte
  EXPECT_EQ(form_.Ws().ChartData.XData.Range, (std::array<double, 2>{5, 0}));
  EXPECT_NE(Shot(), before);

  // Cancel after another font change leaves the chart's title as it was.
  dialog->ChooseFont = [](const FontChoice& current) -> std::optional<FontChoice> {
    FontChoice italic = current;
    italic.Font.setItalic(true);
    return italic;
  };
  QTimer::singleShot(0, [dialog] {
    dialog->findChild<QAbstractButton*>("fchpTitleFont")->click();
    dialog->reject();
  });
  form_.Command("EditfcPropertiesAction")->trigger();
  EXPECT_FALSE(title.Italic);
  QTimer::singleShot(0, [dialog] {
    EXPECT_FALSE(dialog->findChild<QLineEdit*>("fchpTitleText")->font().italic());
    EXPECT_TRUE(dialog->findChild<QLineEdit*>("MaxXScale")->isEnabled());  // kept "Manual"
    dialog->reject();
  });
  form_.Command("EditfcPropertiesAction")->trigger();
}

TEST_F(FitChartPage, AnUntouchedFontDialogHandsBackTheSameFontAndColour) {
  for (const bool styled : {false, true}) {
    QFont start("DejaVu Sans", 13);
    start.setBold(styled);
    start.setItalic(styled);
    QTimer::singleShot(0, [] {
      QWidget* modal = QApplication::activeModalWidget();
      ASSERT_NE(modal, nullptr);
      EXPECT_NE(modal->findChild<QFontDialog*>(), nullptr);
      const QString shot = qEnvironmentVariable("ZELK_SCREENSHOT_FITPROPS");
      if (!shot.isEmpty()) modal->grab().save(shot + "-font.png");
      static_cast<QDialog*>(modal)->accept();
    });
    const auto chosen = ChooseFontAndColour(&form_, {start, QColor(10, 20, 30)});
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(chosen->Font.family(), "DejaVu Sans");
    EXPECT_EQ(chosen->Font.pointSize(), 13);
    EXPECT_EQ(chosen->Font.italic(), styled);
    EXPECT_EQ(chosen->Font.bold(), styled);
    EXPECT_EQ(chosen->Color, QColor(10, 20, 30));
  }
  QTimer::singleShot(0, [] { static_cast<QDialog*>(QApplication::activeModalWidget())->reject(); });
  EXPECT_FALSE(ChooseFontAndColour(&form_, {QFont(), Qt::black}).has_value());
}

TEST_F(FitChartPage, TheMenusAndThePopUpMenuCarryTheChartCommands) {
  QMenu* file = Menu("&File");
  ASSERT_NE(file, nullptr);
  QAction* chart = MenuEntry(file, "Fit&chart");
  ASSERT_NE(chart, nullptr);
  ASSERT_NE(chart->menu(), nullptr);
  EXPECT_NE(MenuEntry(chart->menu(), "&Export ..."), nullptr);
  EXPECT_NE(MenuEntry(chart->menu(), "&Print ..."), nullptr);
  EXPECT_NE(MenuEntry(Menu("&Edit"), "&Fit Chart Properties ..."), nullptr);
  QAction* limit = MenuEntry(Menu("&View"), "&Paint Limit Curve");
  ASSERT_NE(limit, nullptr);
  EXPECT_TRUE(limit->isCheckable());
  limit->trigger();  // no F-limit cell is current: the mark does not stay
  EXPECT_FALSE(limit->isChecked());
  QAction* design = MenuEntry(Menu("&View"), "&Design Mode");
  design->trigger();
  EXPECT_TRUE(design->isChecked());
  EXPECT_TRUE(form_.Ws().Chart().DesignModeChecked);

  QStringList popup;
  for (QAction* a : form_.FitChart()->actions()) popup << (a->isSeparator() ? "-" : a->text());
  EXPECT_EQ(popup, (QStringList{"&Optimize", "&Stop", "-", "&Export ...", "&Print ...", "-",
                                "P&roperties ..."}));
}

TEST_F(FitChartPage, APrintedPageHoldsTheChartAtThePrintExtents) {
  const std::string pdf = std::filesystem::temp_directory_path() / "zelk-fit-chart-print.pdf";
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(pdf));
  int width = 0, height = 0;
  form_.PrintOn(printer, [&](Canvas& canvas, int w, int h) {
    width = w;
    height = h;
    form_.Ws().Chart().PrintFitChart(canvas, w, h);
  });
  const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
  EXPECT_EQ(width, page.width());
  EXPECT_EQ(height, page.height());
  EXPECT_GT(std::filesystem::file_size(pdf), 1000u);
  std::filesystem::remove(pdf);
}

TEST_F(FitChartPage, ThePictureFilesHoldTheChartAtThePageSize) {
  const auto folder = std::filesystem::temp_directory_path() / "zelk-fit-chart-pictures";
  std::filesystem::create_directories(folder);
  const auto [w, h] = form_.FitChartSize();
  ASSERT_GT(w, 100);
  ASSERT_TRUE(form_.Ws().Chart().ExportChartMetafile(folder / "chart.png"));
  const QImage png(QString::fromStdString(folder / "chart.png"));
  EXPECT_EQ(png.size(), QSize(w, h));
  EXPECT_EQ(png, Shot());  // the page without overlays is the same picture
  ASSERT_TRUE(form_.Ws().Chart().ExportChartMetafile(folder / "chart.svg"));
  QFile svg(QString::fromStdString(folder / "chart.svg"));
  ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
  const QByteArray text = svg.readAll();
  EXPECT_TRUE(text.contains("<svg"));
  EXPECT_TRUE(text.contains("<polyline"));
  ASSERT_TRUE(form_.Ws().Chart().ExportChartMetafile(folder / "chart.emf"));
  EXPECT_GT(std::filesystem::file_size(folder / "chart.emf"), 1000u);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace zelk
