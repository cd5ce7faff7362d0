// The model's dimension file: its counts go through the dimension controls, as Open Model
// File applies them, and whatever they hold the counts stay within their limits.
#include <cstdint>
#include <memory>
#include <vector>

#include "tests/support/scripted_ui.h"
#include "workspace/workspace.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static zelk::test::ScriptedUi ui;
  static std::unique_ptr<zelk::Workspace> ws = [] {
    auto w = std::make_unique<zelk::Workspace>(ui);
    w->Start();
    return w;
  }();
  const std::vector<std::int32_t> counts = zelk::DecodeDimensionFile({data, data + size});
  if (counts.size() != std::min<std::size_t>(size / 4, zelk::kDimensionFileOrder.size()))
    __builtin_trap();
  for (std::size_t i = 0; i < counts.size(); ++i)
    ws->Dimensions().SetText(zelk::kDimensionFileOrder[i], std::to_string(counts[i]));
  ui.Messages.clear();
  const zelk::TModel& m = ws->Model;
  const zelk::TDataSet& d = ws->MeasuredData;
  const auto within = [](zelk::Dimension which, long long n) {
    const zelk::DimensionRange range = zelk::RangeOf(which);
    return n >= range.Min && n <= range.Max;
  };
  using zelk::Dimension;
  if (!within(Dimension::AlgEq, m.AlgEqCount) || !within(Dimension::DifEq, m.DifEqCount) ||
      !within(Dimension::Param, ws->Parameters.Count) ||
      ws->Parameters.Count > zelk::Room(ws->Parameters) ||
      !within(Dimension::Indep, d.XData.IndepCount) || !within(Dimension::Dep, d.YData.DepCount) ||
      d.XData.IndepCount > d.XData.X.Columns() || d.YData.DepCount > d.YData.M.Columns())
    __builtin_trap();
  return 0;
}
