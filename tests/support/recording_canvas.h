#pragma once
// A canvas that writes down what is drawn on it, with the pen, brush and font in force, and
// measures text with fixed widths so positions can be computed by hand.

#include <string>
#include <vector>

#include "presentation/canvas.h"

namespace zelk::test {

enum class Op { MoveTo, LineTo, Rectangle, Ellipse, Polygon, Polyline, TextOut };

struct Drawn {
  Op Kind;
  std::vector<CanvasPoint> Points;  // the box's two corners for rectangles and ellipses
  std::string Text;
  CanvasPen Pen;
  CanvasBrush Brush;
  CanvasFont Font;
};

class RecordingCanvas : public Canvas {
 public:
  // Text is CharWidth per byte wide and LineHeight high, whatever the font.
  static constexpr int CharWidth = 6;
  static constexpr int LineHeight = 10;

  std::vector<Drawn> Ops;

  void MoveTo(int x, int y) override { Add(Op::MoveTo, {{x, y}}); }
  void LineTo(int x, int y) override { Add(Op::LineTo, {{x, y}}); }
  void Rectangle(int x1, int y1, int x2, int y2) override {
    Add(Op::Rectangle, {{x1, y1}, {x2, y2}});
  }
  void Ellipse(int x1, int y1, int x2, int y2) override { Add(Op::Ellipse, {{x1, y1}, {x2, y2}}); }
  void Polygon(std::span<const CanvasPoint> p) override { Add(Op::Polygon, {p.begin(), p.end()}); }
  void Polyline(std::span<const CanvasPoint> p) override {
    Add(Op::Polyline, {p.begin(), p.end()});
  }
  void TextOut(int x, int y, const std::string& text) override { Add(Op::TextOut, {{x, y}}, text); }
  int TextWidth(const std::string& text) override {
    return CharWidth * static_cast<int>(text.size());
  }
  int TextHeight(const std::string&) override { return LineHeight; }

  std::vector<Drawn> Of(Op kind) const {
    std::vector<Drawn> out;
    for (const Drawn& d : Ops)
      if (d.Kind == kind) out.push_back(d);
    return out;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const Drawn& d : Ops)
      if (d.Kind == Op::TextOut) out.push_back(d.Text);
    return out;
  }

 private:
  void Add(Op kind, std::vector<CanvasPoint> points, std::string text = {}) {
    Ops.push_back({kind, std::move(points), std::move(text), Pen(), Brush(), Font()});
  }
};

}  // namespace zelk::test
