#include "presentation/emf_writer.h"

#include <algorithm>
#include <cstring>

#include "presentation/unicode.h"

namespace zelk {

namespace {

constexpr std::uint32_t kSignature = 0x464D4520;  // " EMF"
constexpr std::uint32_t kVersion = 0x00010000;
constexpr std::uint32_t kHeaderSize = 108;
// The reference screen: 1920 x 1440 pixels at 96 dpi are exactly 508 x 381 mm.
constexpr int kDevicePixelsX = 1920, kDevicePixelsY = 1440;
constexpr int kDeviceMillimetresX = 508, kDeviceMillimetresY = 381;
constexpr int kPenSlot = 1, kBrushSlot = 3, kFontSlot = 5;
constexpr std::uint16_t kHandleCount = 7;  // slot 0 is reserved
constexpr std::uint32_t kTransparent = 1, kOpaque = 2;
constexpr std::uint32_t kBrushSolid = 0, kBrushNull = 1;
constexpr std::uint32_t kEtoOpaque = 0x2;
constexpr std::uint32_t kGraphicsCompatible = 1;
constexpr int kLogFontPanoseSize = 320;
constexpr char16_t kDescription[] = u"Zelk 3.0\0Fit Chart\0";

std::uint32_t ColorRef(TColor c) { return static_cast<std::uint32_t>(c) & 0x00FFFFFF; }

}  // namespace

EmfCanvas::EmfCanvas(int width, int height, const TextMeasure& measure)
    : width_(width), height_(height), measure_(measure) {
  bytes_.resize(kHeaderSize);
  records_ = 1;
  // The description belongs to the header record.
  for (char16_t ch : kDescription) U16(ch);
  while (bytes_.size() % 4) bytes_.push_back(0);
  headerSize_ = static_cast<std::uint32_t>(bytes_.size());
  Simple(EMR_SETTEXTALIGN, 0);  // top left reference point, current position not updated
}

void EmfCanvas::U32(std::uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void EmfCanvas::U16(std::uint16_t v) {
  bytes_.push_back(static_cast<std::uint8_t>(v));
  bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
}

void EmfCanvas::Begin(std::uint32_t type) {
  recordStart_ = bytes_.size();
  U32(type);
  U32(0);  // size, filled by End
}

void EmfCanvas::End() {
  while (bytes_.size() % 4) bytes_.push_back(0);
  const auto size = static_cast<std::uint32_t>(bytes_.size() - recordStart_);
  for (int i = 0; i < 4; ++i)
    bytes_[recordStart_ + 4 + i] = static_cast<std::uint8_t>(size >> (8 * i));
  ++records_;
}

void EmfCanvas::Simple(std::uint32_t type, std::uint32_t value) {
  Begin(type);
  U32(value);
  End();
}

void EmfCanvas::Include(Bounds b, int penWidth) {
  const int grow = std::max(penWidth, 1) / 2;
  b = {b.Left - grow, b.Top - grow, b.Right + grow, b.Bottom + grow};
  if (!bounds_) {
    bounds_ = b;
    return;
  }
  bounds_->Left = std::min(bounds_->Left, b.Left);
  bounds_->Top = std::min(bounds_->Top, b.Top);
  bounds_->Right = std::max(bounds_->Right, b.Right);
  bounds_->Bottom = std::max(bounds_->Bottom, b.Bottom);
}

template <class Create>
void EmfCanvas::Replace(int first, int& current, Create&& create) {
  const int slot = current == first ? first + 1 : first;
  create(static_cast<std::uint32_t>(slot));
  Simple(EMR_SELECTOBJECT, static_cast<std::uint32_t>(slot));
  if (current) Simple(EMR_DELETEOBJECT, static_cast<std::uint32_t>(current));
  current = slot;
}

void EmfCanvas::SyncPen() {
  if (pen_ == Pen()) return;
  pen_ = Pen();
  Replace(kPenSlot, penSlot_, [this](std::uint32_t slot) {
    Begin(EMR_CREATEPEN);
    U32(slot);
    U32(static_cast<std::uint32_t>(pen_->Style));  // PS_SOLID .. PS_DASHDOTDOT
    I32(pen_->Width);
    I32(0);
    U32(ColorRef(pen_->Color));
    End();
  });
}

void EmfCanvas::SyncBrush() {
  if (brush_ == Brush()) return;
  brush_ = Brush();
  Replace(kBrushSlot, brushSlot_, [this](std::uint32_t slot) {
    Begin(EMR_CREATEBRUSHINDIRECT);
    U32(slot);
    U32(brush_->Style == BrushStyle::Solid ? kBrushSolid : kBrushNull);
    U32(ColorRef(brush_->Color));
    U32(0);
    End();
  });
}

void EmfCanvas::SyncFont() {
  if (!(font_ == Font())) {
    font_ = Font();
    Replace(kFontSlot, fontSlot_, [this](std::uint32_t slot) {
      Begin(EMR_EXTCREATEFONTINDIRECTW);
      U32(slot);
      const std::size_t logFont = bytes_.size();
      I32(-FontPixels(font_->Size, kEmfReferenceDpi));  // character height, not cell height
      I32(0);
      I32(0);
      I32(0);
      I32(font_->Bold ? 700 : 400);
      bytes_.push_back(font_->Italic ? 1 : 0);
      bytes_.push_back(font_->Underline ? 1 : 0);
      bytes_.push_back(0);                              // strike out
      bytes_.push_back(1);                              // DEFAULT_CHARSET
      for (int i = 0; i < 4; ++i) bytes_.push_back(0);  // precisions, quality, pitch
      std::u16string face;
      for (std::size_t pos = 0; pos < font_->Family.size();)
        AppendUtf16(face, NextCodePoint(font_->Family, pos));
      face.resize(std::min<std::size_t>(face.size(), 31));
      face.resize(32, u'\0');
      for (char16_t ch : face) U16(ch);
      bytes_.resize(logFont + kLogFontPanoseSize, 0);
      End();
    });
  }
  if (textColor_ != Font().Color) {
    textColor_ = Font().Color;
    Simple(EMR_SETTEXTCOLOR, ColorRef(*textColor_));
  }
}

void EmfCanvas::MoveTo(int x, int y) {
  Begin(EMR_MOVETOEX);
  I32(x);
  I32(y);
  End();
  lastPoint_ = {x, y};  // bounds grow only where a line is drawn
}

void EmfCanvas::LineTo(int x, int y) {
  SyncPen();
  Begin(EMR_LINETO);
  I32(x);
  I32(y);
  End();
  Include({std::min(lastPoint_.X, x), std::min(lastPoint_.Y, y), std::max(lastPoint_.X, x),
           std::max(lastPoint_.Y, y)},
          Pen().Width);
  lastPoint_ = {x, y};
}

void EmfCanvas::Box(std::uint32_t type, int x1, int y1, int x2, int y2) {
  SyncPen();
  SyncBrush();
  Begin(type);
  I32(x1);
  I32(y1);
  I32(x2);
  I32(y2);
  End();
  Include({std::min(x1, x2), std::min(y1, y2), std::max(x1, x2) - 1, std::max(y1, y2) - 1},
          Pen().Width);
}

void EmfCanvas::Rectangle(int x1, int y1, int x2, int y2) { Box(EMR_RECTANGLE, x1, y1, x2, y2); }

void EmfCanvas::Ellipse(int x1, int y1, int x2, int y2) { Box(EMR_ELLIPSE, x1, y1, x2, y2); }

void EmfCanvas::Points(std::uint32_t type, std::span<const CanvasPoint> points) {
  if (points.empty()) return;
  SyncPen();
  if (type == EMR_POLYGON) SyncBrush();
  Bounds b{points[0].X, points[0].Y, points[0].X, points[0].Y};
  for (const CanvasPoint& p : points) {
    b.Left = std::min(b.Left, p.X);
    b.Top = std::min(b.Top, p.Y);
    b.Right = std::max(b.Right, p.X);
    b.Bottom = std::max(b.Bottom, p.Y);
  }
  Begin(type);
  I32(b.Left);
  I32(b.Top);
  I32(b.Right);
  I32(b.Bottom);
  U32(static_cast<std::uint32_t>(points.size()));
  for (const CanvasPoint& p : points) {
    I32(p.X);
    I32(p.Y);
  }
  End();
  Include(b, Pen().Width);
}

void EmfCanvas::Polygon(std::span<const CanvasPoint> points) { Points(EMR_POLYGON, points); }

void EmfCanvas::Polyline(std::span<const CanvasPoint> points) {
  if (points.size() >= 2) Points(EMR_POLYLINE, points);
}

void EmfCanvas::TextOut(int x, int y, const std::string& text) {
  if (text.empty()) return;
  SyncFont();
  const bool opaque = Brush().Style == BrushStyle::Solid;
  const std::pair<bool, TColor> background{opaque, opaque ? Brush().Color : 0};
  if (background_ != background) {
    if (!background_ || background_->first != opaque)
      Simple(EMR_SETBKMODE, opaque ? kOpaque : kTransparent);
    if (opaque) Simple(EMR_SETBKCOLOR, ColorRef(Brush().Color));
    background_ = background;
  }
  // Each character's advance, so every reader places the glyphs where we measured them. The
  // advances come from the widths of growing prefixes, which keep kerning and rounding right;
  // prefixes restart every kMeasureRun characters so that a long text costs linear time.
  constexpr int kMeasureRun = 64;
  std::u16string units;
  std::vector<std::uint32_t> dx;
  std::size_t runStart = 0;
  long long runBase = 0, before = 0;
  int inRun = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t start = units.size();
    AppendUtf16(units, NextCodePoint(text, pos));
    const long long after = runBase + TextWidth(text.substr(runStart, pos - runStart));
    dx.push_back(static_cast<std::uint32_t>(after - before));
    if (units.size() - start == 2) dx.push_back(0);  // the low surrogate adds no advance
    before = after;
    if (++inRun == kMeasureRun) {
      inRun = 0;
      runStart = pos;
      runBase = after;
    }
  }
  // Far beyond any page, and far from overflowing the box's corners.
  constexpr long long kLongestText = 1 << 28;
  const int w = static_cast<int>(std::min(before, kLongestText)), h = TextHeight(text);
  const Bounds box{x, y, x + w - 1, y + h - 1};
  const std::uint32_t offString = 76;
  const std::uint32_t stringBytes = static_cast<std::uint32_t>((units.size() * 2 + 3) / 4 * 4);
  Begin(EMR_EXTTEXTOUTW);
  I32(box.Left);
  I32(box.Top);
  I32(box.Right);
  I32(box.Bottom);
  U32(kGraphicsCompatible);
  // Hundredths of a millimetre per device unit of the reference screen.
  float scale = 2540.0f / kEmfReferenceDpi;
  std::uint32_t scaleBits;
  std::memcpy(&scaleBits, &scale, 4);
  U32(scaleBits);
  U32(scaleBits);
  I32(x);
  I32(y);
  U32(static_cast<std::uint32_t>(units.size()));
  U32(offString);
  U32(opaque ? kEtoOpaque : 0);
  I32(x);
  I32(y);
  I32(x + w);
  I32(y + h);
  U32(offString + stringBytes);
  for (char16_t u : units) U16(u);
  while ((bytes_.size() - recordStart_) % 4) bytes_.push_back(0);
  for (std::uint32_t d : dx) U32(d);
  End();
  Include(box, 1);
}

int EmfCanvas::TextWidth(const std::string& text) {
  return measure_.Width(Font(), text, kEmfReferenceDpi);
}

int EmfCanvas::TextHeight(const std::string& text) {
  return measure_.Height(Font(), text, kEmfReferenceDpi);
}

std::vector<std::uint8_t> EmfCanvas::Finish() {
  if (finished_) return bytes_;
  finished_ = true;
  for (int* slot : {&penSlot_, &brushSlot_, &fontSlot_})
    if (*slot) Simple(EMR_DELETEOBJECT, static_cast<std::uint32_t>(*slot));
  Begin(EMR_EOF);
  U32(0);   // palette entries
  U32(16);  // their offset
  U32(20);  // this record's size, for readers walking backwards
  End();

  std::vector<std::uint8_t> header;
  auto put = [&header](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) header.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  auto puti = [&put](int v) { put(static_cast<std::uint32_t>(v)); };
  const Bounds b = bounds_.value_or(Bounds{0, 0, -1, -1});  // empty picture
  put(EMR_HEADER);
  put(headerSize_);
  puti(b.Left);
  puti(b.Top);
  puti(b.Right);
  puti(b.Bottom);
  // The frame is the whole picture, inclusive, in hundredths of a millimetre.
  puti(0);
  puti(0);
  puti((width_ * 2540 + kEmfReferenceDpi / 2) / kEmfReferenceDpi - 1);
  puti((height_ * 2540 + kEmfReferenceDpi / 2) / kEmfReferenceDpi - 1);
  put(kSignature);
  put(kVersion);
  put(static_cast<std::uint32_t>(bytes_.size()));
  put(records_);
  put(kHandleCount);  // nHandles, then sReserved 0 in the high half
  put(static_cast<std::uint32_t>(std::size(kDescription)));
  put(kHeaderSize);
  put(0);  // palette entries
  puti(kDevicePixelsX);
  puti(kDevicePixelsY);
  puti(kDeviceMillimetresX);
  puti(kDeviceMillimetresY);
  put(0);  // pixel format size
  put(0);  // and offset
  put(0);  // not OpenGL
  puti(kDeviceMillimetresX * 1000);
  puti(kDeviceMillimetresY * 1000);
  std::copy(header.begin(), header.end(), bytes_.begin());
  return bytes_;
}

}  // namespace zelk
