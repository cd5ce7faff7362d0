#include "workspace/fit_properties_model.h"

#include "base/format.h"
#include "workspace/workspace.h"

namespace zelk {

namespace {

// Range pairs hold the largest value first.
void StoreRange(const ScaleFields& scale, std::array<double, 2>& measured,
                std::array<double, 2>& chart) {
  if (!scale.Manual) return;
  if (const auto max = ParseNumber(scale.Max)) measured[0] = chart[0] = *max;
  if (const auto min = ParseNumber(scale.Min)) measured[1] = chart[1] = *min;
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
  StoreRange(YScale, ws_.MeasuredData.YData.Range, ws_.ChartData.YData.Range);
  StoreRange(XScale, ws_.MeasuredData.XData.Range, ws_.ChartData.XData.Range);
  ws_.Ui().Repaint(View::FitChart);
}

}  // namespace zelk
