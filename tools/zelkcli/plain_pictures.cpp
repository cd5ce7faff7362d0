#include "tools/zelkcli/pictures.h"

namespace zelk {

const TextMeasure& ChartTextMeasure() {
  static const ApproximateTextMeasure measure;
  return measure;
}

std::string WriteChartPicture(const std::string&, int, int, const std::function<void(Canvas&)>&) {
  return "this build writes charts only as .emf (it was built without Qt)";
}

}  // namespace zelk
