#include "ui/report_box.h"

#include <QTextBlock>
#include <QTextCursor>

#include "presentation/report.h"

namespace zelk {

namespace {

// Tab positions are in pixels of the screen's logical resolution, as the box's fonts are; the
// layout scales both alike for a printer.
double PixelsPerTwip(const QWidget& widget) { return widget.logicalDpiY() / double(kTwipsPerInch); }

}  // namespace

ReportBox::ReportBox(QWidget* parent) : QTextEdit(parent) {
  setObjectName("ReportBox");
  setLineWrapMode(QTextEdit::NoWrap);
  setAcceptRichText(false);  // pasted text takes the box's font, as typed text does
  QFont font(kReportFontFamily);
  font.setPointSize(kReportFontSize);
  document()->setDefaultFont(font);
  setContextMenuPolicy(Qt::ActionsContextMenu);
}

void ReportBox::Show(const std::vector<RichLine>& lines) {
  clear();
  QTextCursor cursor(document());
  const double scale = PixelsPerTwip(*this);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    QTextBlockFormat paragraph;
    QList<QTextOption::Tab> tabs;
    for (int stop : lines[i].TabStops)
      tabs.append(QTextOption::Tab(stop * scale, QTextOption::LeftTab));
    paragraph.setTabPositions(tabs);
    if (i > 0)
      cursor.insertBlock(paragraph);
    else
      cursor.setBlockFormat(paragraph);
    for (const RichRun& run : lines[i].Runs) {
      QTextCharFormat format;
      format.setFontFamilies({kReportFontFamily});
      format.setFontPointSize(run.Size);
      format.setFontWeight(run.Bold ? QFont::Bold : QFont::Normal);
      format.setFontItalic(run.Italic);
      format.setFontUnderline(run.Underline);
      format.setForeground(Qt::black);
      cursor.insertText(QString::fromStdString(run.Text), format);
    }
  }
}

std::vector<RichLine> ReportBox::Lines() const {
  std::vector<RichLine> lines;
  const double scale = PixelsPerTwip(*this);
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    RichLine line;
    for (const QTextOption::Tab& tab : block.blockFormat().tabPositions())
      line.TabStops.push_back(qRound(tab.position / scale));
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      const QTextCharFormat format = fragment.charFormat();
      const QFont font = format.font();
      RichRun run;
      run.Text = fragment.text().toStdString();
      run.Size =
          format.fontPointSize() > 0 ? static_cast<int>(format.fontPointSize()) : kReportFontSize;
      run.Bold = font.bold();
      run.Italic = font.italic();
      run.Underline = font.underline();
      line.Runs.push_back(run);
    }
    lines.push_back(line);
  }
  return lines;
}

}  // namespace zelk
