// The Debug grid's wiring, offscreen: the table shows the core's texts, read-only, at the
// grid's fixed size.

#include "ui/debug_grid_view.h"

#include <gtest/gtest.h>

#include <memory>

namespace zelk {
namespace {

TEST(DebugGridView, ShowsTheCoresTextsReadOnly) {
  DebugGrid grid;
  DebugGridView view(grid);
  QAbstractItemModel* model = view.model();
  EXPECT_EQ(view.objectName(), "gr");
  EXPECT_EQ(model->columnCount(), 69);
  EXPECT_EQ(model->rowCount(), 500);
  EXPECT_EQ(model->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "1");
  EXPECT_EQ(model->headerData(499, Qt::Vertical, Qt::DisplayRole).toString(), "500");

  auto data = std::make_unique<TDataSet>();
  data->YData.EventCount = 2;
  data->XData.X[2][1] = 4;
  data->XData.Defined[2][1] = true;
  data->YData.M[2][1] = 0.25;
  data->YData.Defined[2][1] = true;
  grid.Show(*data);
  view.Refresh();
  EXPECT_EQ(model->index(1, 0).data().toString(), "4.00000");
  EXPECT_EQ(model->index(1, 1).data().toString(), "0.25000");
  EXPECT_EQ(model->index(0, 0).data().toString(), "");
  EXPECT_FALSE(model->flags(model->index(1, 0)) & Qt::ItemIsEditable);
  EXPECT_EQ(view.editTriggers(), QAbstractItemView::NoEditTriggers);
}

}  // namespace
}  // namespace zelk
