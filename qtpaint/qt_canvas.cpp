#include "qtpaint/qt_canvas.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <QSaveFile>
#ifdef ZELK_HAVE_QT_SVG
#include <QSvgGenerator>
#endif

namespace zelk {

namespace {

Qt::PenStyle ToQtStyle(PenStyle s) {
  switch (s) {
    case PenStyle::Dash:
      return Qt::DashLine;
    case PenStyle::Dot:
      return Qt::DotLine;
    case PenStyle::DashDot:
      return Qt::DashDotLine;
    case PenStyle::DashDotDot:
      return Qt::DashDotDotLine;
    case PenStyle::Solid:
      break;
  }
  return Qt::SolidLine;
}

QFont MakeFont(const CanvasFont& f) {
  QFont font(QString::fromStdString(f.Family));
  font.setBold(f.Bold);
  font.setItalic(f.Italic);
  font.setUnderline(f.Underline);
  return font;
}

QPolygon ToPolygon(std::span<const CanvasPoint> points) {
  QPolygon polygon;
  polygon.reserve(static_cast<qsizetype>(points.size()));
  for (const CanvasPoint& p : points) polygon << QPoint(p.X, p.Y);
  return polygon;
}

}  // namespace

QColor QColorFromTColor(TColor color) {
  const auto bits = static_cast<std::uint32_t>(color);
  return QColor(static_cast<int>(bits & 0xFF), static_cast<int>((bits >> 8) & 0xFF),
                static_cast<int>((bits >> 16) & 0xFF));
}

TColor TColorFromQColor(const QColor& color) {
  return static_cast<TColor>(static_cast<std::uint32_t>(color.red()) |
                             static_cast<std::uint32_t>(color.green()) << 8 |
                             static_cast<std::uint32_t>(color.blue()) << 16);
}

QtCanvas::QtCanvas(QPainter& painter) : painter_(painter) {}

void QtCanvas::UsePen() {
  const CanvasPen& p = Pen();
  QPen pen(QColorFromTColor(p.Color), std::max(p.Width, 1), ToQtStyle(p.Style));
  pen.setCapStyle(p.Width > 1 ? Qt::RoundCap : Qt::FlatCap);
  pen.setJoinStyle(Qt::RoundJoin);
  painter_.setPen(pen);
}

void QtCanvas::UsePenAndBrush() {
  UsePen();
  const CanvasBrush& b = Brush();
  painter_.setBrush(b.Style == BrushStyle::Solid ? QBrush(QColorFromTColor(b.Color))
                                                 : QBrush(Qt::NoBrush));
}

QFont QtCanvas::CurrentFont() const {
  QFont font = MakeFont(Font());
  font.setPointSize(std::max(Font().Size, 1));
  return font;
}

void QtCanvas::MoveTo(int x, int y) { current_ = {x, y}; }

void QtCanvas::LineTo(int x, int y) {
  UsePen();
  painter_.setRenderHint(QPainter::Antialiasing, current_.X != x && current_.Y != y);
  painter_.drawLine(current_.X, current_.Y, x, y);
  current_ = {x, y};
}

// Qt's outline of a w x h box covers w + 1 pixels; the canvas's box excludes its right and
// bottom edges.
void QtCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  UsePenAndBrush();
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.drawRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1);
}

void QtCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  UsePenAndBrush();
  painter_.setRenderHint(QPainter::Antialiasing, true);
  painter_.drawEllipse(x1, y1, x2 - x1 - 1, y2 - y1 - 1);
}

void QtCanvas::Polygon(std::span<const CanvasPoint> points) {
  UsePenAndBrush();
  painter_.setRenderHint(QPainter::Antialiasing, true);
  painter_.drawPolygon(ToPolygon(points));
}

void QtCanvas::Polyline(std::span<const CanvasPoint> points) {
  if (points.size() < 2) return;
  UsePen();
  painter_.setRenderHint(QPainter::Antialiasing, true);
  painter_.drawPolyline(ToPolygon(points));
}

void QtCanvas::TextOut(int x, int y, const std::string& text) {
  const QString s = QString::fromStdString(text);
  const QFont font = CurrentFont();
  const QFontMetrics metrics(font, painter_.device());
  if (Brush().Style == BrushStyle::Solid)
    painter_.fillRect(x, y, metrics.horizontalAdvance(s), metrics.height(),
                      QColorFromTColor(Brush().Color));
  painter_.setFont(font);
  painter_.setPen(QColorFromTColor(Font().Color));
  painter_.drawText(x, y + metrics.ascent(), s);
}

int QtCanvas::TextWidth(const std::string& text) {
  return QFontMetrics(CurrentFont(), painter_.device())
      .horizontalAdvance(QString::fromStdString(text));
}

int QtCanvas::TextHeight(const std::string&) {
  return QFontMetrics(CurrentFont(), painter_.device()).height();
}

int QtTextMeasure::Width(const CanvasFont& f, const std::string& text, int dpi) const {
  QFont font = MakeFont(f);
  font.setPixelSize(std::max(FontPixels(f.Size, dpi), 1));
  return QFontMetrics(font).horizontalAdvance(QString::fromStdString(text));
}

int QtTextMeasure::Height(const CanvasFont& f, const std::string&, int dpi) const {
  QFont font = MakeFont(f);
  font.setPixelSize(std::max(FontPixels(f.Size, dpi), 1));
  return QFontMetrics(font).height();
}

std::string WriteQtPicture(const std::string& path, int width, int height,
                           const std::function<void(Canvas&)>& draw) {
  if (width < 1 || height < 1) return "the chart has no area to draw";
  const QString name = QString::fromStdString(path);
  const bool svg = QFileInfo(name).suffix().compare("svg", Qt::CaseInsensitive) == 0;
  QSaveFile file(name);
  if (!file.open(QIODevice::WriteOnly)) return file.errorString().toStdString();
  if (svg) {
#ifdef ZELK_HAVE_QT_SVG
    QSvgGenerator generator;
    generator.setOutputDevice(&file);
    generator.setSize(QSize(width, height));
    generator.setViewBox(QRect(0, 0, width, height));
    generator.setResolution(96);
    generator.setTitle("Fit Chart");
    QPainter painter(&generator);
    painter.fillRect(0, 0, width, height, Qt::white);
    QtCanvas canvas(painter);
    draw(canvas);
    painter.end();
#else
    file.cancelWriting();
    return "this build cannot write SVG drawings (Qt's SVG module was not installed)";
#endif
  } else {
    QImage image(width, height, QImage::Format_RGB32);
    image.setDotsPerMeterX(3780);  // 96 dpi, as the screen
    image.setDotsPerMeterY(3780);
    image.fill(Qt::white);
    QPainter painter(&image);
    QtCanvas canvas(painter);
    draw(canvas);
    painter.end();
    if (!image.save(&file, "PNG")) {
      file.cancelWriting();
      return "the image could not be encoded";
    }
  }
  if (!file.commit()) return file.errorString().toStdString();
  return {};
}

}  // namespace zelk
