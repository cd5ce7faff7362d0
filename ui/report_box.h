#pragma once
// ReportBox: the report's rich text, editable, without word wrap, in Verdana 8 points; the
// core's lines go in, and what the box holds (the user's edits included) comes back as lines.

#include <QTextEdit>

#include "base/rich_line.h"

namespace zelk {

class ReportBox : public QTextEdit {
 public:
  explicit ReportBox(QWidget* parent = nullptr);
  void Show(const std::vector<RichLine>& lines);
  std::vector<RichLine> Lines() const;
};

}  // namespace zelk
