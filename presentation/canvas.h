#pragma once
// What the fit chart draws on: the screen, a metafile, a printer page or an image all offer
// these operations. Coordinates are integer device units, origin top left, y downward. The
// pen, brush and font are state of the canvas, read by each drawing operation.

#include <cstdint>
#include <span>
#include <string>

#include "base/preferences.h"

namespace zelk {

enum class PenStyle : std::uint8_t { Solid, Dash, Dot, DashDot, DashDotDot };
enum class BrushStyle : std::uint8_t { Solid, Clear };

inline constexpr TColor kBlack = 0x000000;
inline constexpr TColor kWhite = 0xFFFFFF;

struct CanvasPen {
  TColor Color = kBlack;
  PenStyle Style = PenStyle::Solid;
  int Width = 1;  // device units
  bool operator==(const CanvasPen&) const = default;
};

struct CanvasBrush {
  TColor Color = kWhite;
  BrushStyle Style = BrushStyle::Solid;
  bool operator==(const CanvasBrush&) const = default;
};

struct CanvasFont {
  std::string Family = "Arial";
  int Size = 8;  // points
  TColor Color = kBlack;
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool operator==(const CanvasFont&) const = default;
};

struct CanvasPoint {
  int X = 0;
  int Y = 0;
  bool operator==(const CanvasPoint&) const = default;
};

class Canvas {
 public:
  virtual ~Canvas() = default;

  void SetPen(const CanvasPen& pen) { pen_ = pen; }
  void SetBrush(const CanvasBrush& brush) { brush_ = brush; }
  void SetFont(const CanvasFont& font) { font_ = font; }
  const CanvasPen& Pen() const { return pen_; }
  const CanvasBrush& Brush() const { return brush_; }
  const CanvasFont& Font() const { return font_; }

  // A line from the current point; the end point itself is not painted.
  virtual void MoveTo(int x, int y) = 0;
  virtual void LineTo(int x, int y) = 0;
  // Outlined with the pen inside the box, right and bottom edges exclusive; filled with
  // the brush unless it is clear.
  virtual void Rectangle(int x1, int y1, int x2, int y2) = 0;
  virtual void Ellipse(int x1, int y1, int x2, int y2) = 0;
  virtual void Polygon(std::span<const CanvasPoint> points) = 0;
  virtual void Polyline(std::span<const CanvasPoint> points) = 0;
  // Top left corner at (x, y); with a solid brush the text's box is filled first.
  virtual void TextOut(int x, int y, const std::string& text) = 0;
  virtual int TextWidth(const std::string& text) = 0;
  virtual int TextHeight(const std::string& text) = 0;

 private:
  CanvasPen pen_;
  CanvasBrush brush_;
  CanvasFont font_;
};

// Text sizes in pixels of a device of `dpi` dots per inch, for canvases that cannot measure
// themselves (a metafile is measured on the screen it is referenced to).
class TextMeasure {
 public:
  virtual ~TextMeasure() = default;
  virtual int Width(const CanvasFont& font, const std::string& text, int dpi) const = 0;
  virtual int Height(const CanvasFont& font, const std::string& text, int dpi) const = 0;
};

// Widths of a proportional sans-serif face by character class, for builds without a font
// engine; close enough to place labels, not to typeset.
class ApproximateTextMeasure : public TextMeasure {
 public:
  int Width(const CanvasFont& font, const std::string& text, int dpi) const override;
  int Height(const CanvasFont& font, const std::string& text, int dpi) const override;
};

// The character height in pixels of a font of `points` on a device of `dpi`.
inline int FontPixels(int points, int dpi) { return (points * dpi + 36) / 72; }

}  // namespace zelk
