#pragma once
// The chart's canvas on anything Qt paints on: the screen, an image, an SVG generator or a
// printer page. Fonts are sized in points on the painter's device, so text keeps its physical
// size while a pen of width 1 is one device dot.

#include <QColor>
#include <QFont>
#include <functional>

#include "presentation/canvas.h"

class QPainter;

namespace zelk {

class QtCanvas : public Canvas {
 public:
  explicit QtCanvas(QPainter& painter);

  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void Rectangle(int x1, int y1, int x2, int y2) override;
  void Ellipse(int x1, int y1, int x2, int y2) override;
  void Polygon(std::span<const CanvasPoint> points) override;
  void Polyline(std::span<const CanvasPoint> points) override;
  void TextOut(int x, int y, const std::string& text) override;
  int TextWidth(const std::string& text) override;
  int TextHeight(const std::string& text) override;

 private:
  void UsePen();
  void UsePenAndBrush();
  QFont CurrentFont() const;

  QPainter& painter_;
  CanvasPoint current_;
};

// Text measured by Qt's font engine, at a given resolution.
class QtTextMeasure : public TextMeasure {
 public:
  int Width(const CanvasFont& font, const std::string& text, int dpi) const override;
  int Height(const CanvasFont& font, const std::string& text, int dpi) const override;
};

// Colours of the preferences (red in the lowest byte) as Qt's and back. The highest byte
// is not part of the colour.
QColor QColorFromTColor(TColor color);
TColor TColorFromQColor(const QColor& color);

// The chart of width x height pixels into a PNG or SVG file (by the path's extension) on a
// white ground. The file is replaced only once it is complete. Returns why it failed,
// empty on success.
std::string WriteQtPicture(const std::string& path, int width, int height,
                           const std::function<void(Canvas&)>& draw);

}  // namespace zelk
