#include "presentation/chart_data.h"

#include <gtest/gtest.h>

#include <memory>

namespace zelk {
namespace {

std::unique_ptr<TDataSet> Events(const std::vector<double>& times) {
  auto d = std::make_unique<TDataSet>();
  d->YData.EventCount = static_cast<int>(times.size());
  for (std::size_t j = 0; j < times.size(); ++j) {
    d->XData.X[j + 1][1] = times[j];
    d->XData.Defined[j + 1][1] = true;
    d->YData.M[j + 1][1] = static_cast<double>(j);
    d->YData.Defined[j + 1][1] = true;
  }
  return d;
}

TEST(ChartData, RefinesEachIntervalOfAnExperiment) {
  auto measured = Events({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
  auto chart = std::make_unique<TDataSet>();
  RefreshChartData(*measured, *chart, 1);
  EXPECT_EQ(chart->YData.EventCount, 10 + 9 * 99);
  // Events 3 and 4 sit at rows 201 and 301; the 99 rows between them are evenly spaced.
  EXPECT_EQ(chart->XData.X[201][1], 2.0);
  EXPECT_DOUBLE_EQ(chart->XData.X[202][1], 2.01);
  EXPECT_DOUBLE_EQ(chart->XData.X[300][1], 2.99);
  EXPECT_EQ(chart->XData.X[301][1], 3.0);
  EXPECT_TRUE(chart->XData.Defined[250][1]);
  EXPECT_FALSE(chart->YData.Defined[250][1]);
  EXPECT_TRUE(chart->YData.Defined[301][1]);
}

TEST(ChartData, InsertsNothingBetweenExperiments) {
  auto measured = Events({0, 1, 2, 3, 4, 0, 1, 2, 3, 4});
  auto chart = std::make_unique<TDataSet>();
  const DataCounts counts = RefreshChartData(*measured, *chart, 1);
  EXPECT_EQ(chart->YData.EventCount, 10 + 8 * 99);
  EXPECT_EQ(counts.ExperimentCount, 2);
  EXPECT_EQ(chart->XData.X[402][1], 0.0);  // event 6 follows event 5 directly
  EXPECT_EQ(chart->XData.X[401][1], 4.0);
}

TEST(ChartData, CopiesLargeOrSingleEventSetsRowForRow) {
  std::vector<double> times(600);
  for (int j = 0; j < 600; ++j) times[j] = j;
  auto measured = Events(times);
  auto chart = std::make_unique<TDataSet>();
  RefreshChartData(*measured, *chart, 0);
  EXPECT_EQ(chart->YData.EventCount, 600);
  EXPECT_EQ(chart->XData.X[600][1], 599.0);
  auto single = Events({5});
  EXPECT_EQ(RefreshChartData(*single, *chart, 1).ExperimentCount, 1);
  EXPECT_EQ(chart->YData.EventCount, 1);
}

TEST(ChartData, RangesCountMissingValuesAsStored) {
  auto measured = Events({1, 3, 2});
  measured->YData.M[2][1] = -4;
  measured->YData.Defined[2][1] = false;
  auto chart = std::make_unique<TDataSet>();
  const DataCounts counts = RefreshChartData(*measured, *chart, 0);
  EXPECT_EQ(measured->XData.Range, (std::array<double, 2>{3, 1}));
  EXPECT_EQ(measured->YData.Range, (std::array<double, 2>{2, -4}));
  EXPECT_EQ(counts.MissingCount, 1);
  EXPECT_EQ(counts.ExperimentCount, 0);
}

}  // namespace
}  // namespace zelk
