#include "workspace/fit_properties_model.h"

#include "base/format.h"
#include "workspace/workspace.h"

namespace zelk {

namespace {

// A bound that is no number keeps the manual bound it had.
void StoreRange(const ScaleFields& scale, Workspace::ManualRange& range) {
  range.Manual = scale.Manual;
  if (!scale.Manual) return;
  if (const auto max = ParseNumber(scale.Max)) range.Max = *max;
  if (const auto min = ParseNumber(scale.Min)) range.Min = *min;
}

}  // namespace

FitPropertiesModel::FitPropertiesModel(Workspace& ws) : ws_(ws) {
  Texts[kTitleDesc].Caption = "Fit Chart";
  Texts[kXAxisDesc].Caption = "X";
  Texts[kYAxisDesc].Caption = "Y";
}

void FitPropertiesModel::LoadFitProps() { Texts = ws_.Preferences.Descriptions; }

void FitPropertiesModel::StoreFitProps() {
  for (int d : {kTitleDesc, kYAxisDesc, kXAxisDesc}) ws_.Preferences.Descriptions[d] = Texts[d];
  StoreRange(YScale, ws_.ChartYRange);
  StoreRange(XScale, ws_.ChartXRange);
  ComputeRanges(ws_.MeasuredData);  // an axis set back to automatic takes the data's range
  ws_.ApplyChartRanges();
  ws_.Ui().Repaint(View::FitChart);
}

}  // namespace zelk
