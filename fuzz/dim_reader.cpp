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
  if (m.AlgEqCount < 0 || m.AlgEqCount > 50 || m.DifEqCount < 0 || m.DifEqCount > 50 ||
      ws->Parameters.Count < 1 || ws->Parameters.Count > 20 ||
      ws->MeasuredData.XData.IndepCount < 1 || ws->MeasuredData.XData.IndepCount > 20 ||
      ws->MeasuredData.YData.DepCount < 1 || ws->MeasuredData.YData.DepCount > 50)
    __builtin_trap();
  return 0;
}
