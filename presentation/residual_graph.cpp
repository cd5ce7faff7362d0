#include "presentation/residual_graph.h"

#include "base/format.h"
#include "presentation/fit_chart.h"

namespace zelk {

void DrawResidualBars(Canvas& canvas, int width, const TYData& y, double maxAbsResidual,
                      const TSeriesStyles& series, const ModelNames& names) {
  const int n = y.EventCount;
  if (n < 1) return;
  canvas.SetPen({kBlack, PenStyle::Solid, 1});
  for (int r = 1; r <= y.DepCount; ++r) {
    const int yc = kResidualStripHeight * r - kResidualStripHeight / 2;
    canvas.MoveTo(kResidualMargin, yc);
    canvas.LineTo(width - kResidualMargin, yc);
    canvas.SetBrush({series.at(r).LineColor, BrushStyle::Solid});
    for (int j = 1; j <= n; ++j) {
      // Up is positive, as in the residual plots beside the bars.
      const double e = y.C[j][r] - y.M[j][r];
      const int h = maxAbsResidual > 0
                        ? -static_cast<int>(RoundHalfEven(e / maxAbsResidual * kResidualBarReach))
                        : 0;
      const int x1 = (j - 1) * (width - 2 * kResidualMargin) / n + kResidualMargin;
      const int x2 = j * (width - 2 * kResidualMargin) / n + kResidualMargin - 1;
      canvas.Rectangle(x1, yc, x2, yc + h);
    }
    // The response's name, and the scale: the residual the bars reach above and below.
    canvas.SetBrush({kWhite, BrushStyle::Clear});
    const int top = kResidualStripHeight * (r - 1);
    canvas.TextOut(kResidualMargin, top + 1, ResponseLabel(names, r));
    if (maxAbsResidual > 0) {
      const std::string above = "+" + FormatSignificant(maxAbsResidual, 3);
      const std::string below = FormatSignificant(-maxAbsResidual, 3);
      const int right = width - kResidualMargin;
      canvas.TextOut(right - canvas.TextWidth(above), yc - kResidualBarReach, above);
      canvas.TextOut(right - canvas.TextWidth(below), yc + kResidualBarReach - canvas.TextHeight(below),
                     below);
    }
  }
}

}  // namespace zelk
