#pragma once
// A canvas that records an Enhanced Metafile: the published EMF record format, written by
// hand. The picture is referenced to a 96 dots-per-inch screen, so one device unit is one
// screen pixel; text is measured by the caller's TextMeasure at that resolution.

#include <cstdint>
#include <optional>
#include <vector>

#include "presentation/canvas.h"

namespace zelk {

inline constexpr int kEmfReferenceDpi = 96;

// Record types this writer emits.
enum EmfRecord : std::uint32_t {
  EMR_HEADER = 1,
  EMR_POLYGON = 3,
  EMR_POLYLINE = 4,
  EMR_EOF = 14,
  EMR_SETBKMODE = 18,
  EMR_SETTEXTALIGN = 22,
  EMR_SETTEXTCOLOR = 24,
  EMR_SETBKCOLOR = 25,
  EMR_MOVETOEX = 27,
  EMR_SELECTOBJECT = 37,
  EMR_CREATEPEN = 38,
  EMR_CREATEBRUSHINDIRECT = 39,
  EMR_DELETEOBJECT = 40,
  EMR_ELLIPSE = 42,
  EMR_RECTANGLE = 43,
  EMR_LINETO = 54,
  EMR_EXTCREATEFONTINDIRECTW = 82,
  EMR_EXTTEXTOUTW = 84,
};

class EmfCanvas : public Canvas {
 public:
  // A picture of width x height device units; starts with a solid white brush, a black pen
  // of width 1 and the default font, like a fresh device context.
  EmfCanvas(int width, int height, const TextMeasure& measure);

  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void Rectangle(int x1, int y1, int x2, int y2) override;
  void Ellipse(int x1, int y1, int x2, int y2) override;
  void Polygon(std::span<const CanvasPoint> points) override;
  void Polyline(std::span<const CanvasPoint> points) override;
  void TextOut(int x, int y, const std::string& text) override;
  int TextWidth(const std::string& text) override;
  int TextHeight(const std::string& text) override;

  // Closes the picture: the end record is added and the header completed. The canvas takes
  // no drawing afterwards.
  std::vector<std::uint8_t> Finish();

 private:
  struct Bounds {
    int Left, Top, Right, Bottom;  // inclusive
  };
  void Begin(std::uint32_t type);
  void End();
  void U32(std::uint32_t v);
  void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
  void U16(std::uint16_t v);
  void Simple(std::uint32_t type, std::uint32_t value);
  void Box(std::uint32_t type, int x1, int y1, int x2, int y2);
  void Points(std::uint32_t type, std::span<const CanvasPoint> points);
  void Include(Bounds b, int penWidth);
  void SyncPen();
  void SyncBrush();
  void SyncFont();
  // Creates an object with `create` in the free one of two handle slots starting at `first`,
  // selects it and deletes the one it replaces.
  template <class Create>
  void Replace(int first, int& current, Create&& create);

  int width_, height_;
  const TextMeasure& measure_;
  std::vector<std::uint8_t> bytes_;
  std::size_t recordStart_ = 0;
  std::uint32_t headerSize_ = 0;
  std::uint32_t records_ = 0;
  std::optional<Bounds> bounds_;
  CanvasPoint lastPoint_;
  std::optional<CanvasPen> pen_;
  std::optional<CanvasBrush> brush_;
  std::optional<CanvasFont> font_;
  std::optional<TColor> textColor_;
  std::optional<std::pair<bool, TColor>> background_;  // opaque, colour
  int penSlot_ = 0, brushSlot_ = 0, fontSlot_ = 0;     // handle in use, 0 none
  bool finished_ = false;
};

}  // namespace zelk
