// Clipboard text pasted into the data grid: whatever another program put there, the paste
// stays inside the grid and the data set, every cell holds a number or a missing value, and
// Undo brings back every value as it was.
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "tests/support/scripted_ui.h"
#include "workspace/workspace.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static zelk::test::ScriptedUi ui;
  static std::unique_ptr<zelk::Workspace> ws = [] {
    auto w = std::make_unique<zelk::Workspace>(ui);
    w->Start();
    w->Dimensions().SetText(zelk::Dimension::Dep, "3");
    w->Dimensions().SetText(zelk::Dimension::Events, "20");
    return w;
  }();
  // The first byte picks the cell the paste starts at.
  const int at = size > 0 ? data[0] : 0;
  ws->Grid().SelectCell(1 + at % 4, 1 + at / 4 % 20);
  const zelk::TDataSet& d = ws->MeasuredData;
  const zelk::TYData before = d.YData;
  const zelk::TXData beforeX = d.XData;
  ws->Grid().ForgetEdits();  // this input's paste is the only step to undo
  ws->Grid().Paste(std::string(reinterpret_cast<const char*>(data), size));
  ui.Messages.clear();
  if (d.YData.EventCount != 20 || d.YData.DepCount != 3) __builtin_trap();
  for (int j = 1; j <= 20; ++j)
    for (int i = 1; i <= 3; ++i)
      if (d.YData.Defined[j][i] && !std::isfinite(d.YData.M[j][i])) __builtin_trap();
  ws->Grid().Undo();
  for (int j = 1; j <= 20; ++j) {
    if (d.XData.Defined[j][1] != beforeX.Defined[j][1] ||
        (d.XData.Defined[j][1] && d.XData.X[j][1] != beforeX.X[j][1]))
      __builtin_trap();
    for (int i = 1; i <= 3; ++i)
      if (d.YData.Defined[j][i] != before.Defined[j][i] ||
          (d.YData.Defined[j][i] && d.YData.M[j][i] != before.M[j][i]))
        __builtin_trap();
  }
  return 0;
}
