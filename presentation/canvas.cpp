#include "presentation/canvas.h"

#include <cstring>

namespace zelk {

namespace {

// Advance of a character in thousandths of the em, by class.
int Advance(unsigned char ch) {
  if (std::strchr(" .,:;!|'ijlI()[]", ch)) return 278;
  if (std::strchr("ftr-", ch)) return 333;
  if (std::strchr("mw", ch)) return 833;
  if (std::strchr("MW", ch)) return 900;
  if (ch >= 'A' && ch <= 'Z') return 667;
  if (ch >= 0x80) return ch >= 0xC0 ? 556 : 0;  // UTF-8: count each character once
  return 556;
}

}  // namespace

int ApproximateTextMeasure::Width(const CanvasFont& font, const std::string& text, int dpi) const {
  long thousandths = 0;
  for (unsigned char ch : text) thousandths += Advance(ch);
  if (font.Bold) thousandths += thousandths / 10;
  return static_cast<int>((thousandths * FontPixels(font.Size, dpi) + 500) / 1000);
}

int ApproximateTextMeasure::Height(const CanvasFont& font, const std::string&, int dpi) const {
  return (FontPixels(font.Size, dpi) * 115 + 50) / 100;
}

}  // namespace zelk
