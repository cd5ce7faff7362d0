#pragma once
// What the batch tool draws charts with: Qt's font engine and image writers when the tool is
// built with Qt, otherwise approximate text sizes and metafiles only.

#include <functional>
#include <string>

#include "presentation/canvas.h"

namespace zelk {

const TextMeasure& ChartTextMeasure();
std::string WriteChartPicture(const std::string& path, int width, int height,
                              const std::function<void(Canvas&)>& draw);

}  // namespace zelk
