#include "ui/focus_keeper.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QPointer>

namespace zelk {

namespace {

// Swallows the focus-out of one widget: it is not told that the box took the focus.
class FocusOutFilter : public QObject {
 public:
  explicit FocusOutFilter(QWidget* kept) : kept_(kept) {}
  bool eventFilter(QObject* object, QEvent* event) override {
    return object == kept_ && event->type() == QEvent::FocusOut;
  }

 private:
  QWidget* kept_;
};

}  // namespace

int ExecKeepingFocus(QDialog& dialog) {
  const QPointer<QWidget> focused = QApplication::focusWidget();
  if (!focused) return dialog.exec();
  FocusOutFilter filter(focused);
  qApp->installEventFilter(&filter);
  const int result = dialog.exec();
  qApp->removeEventFilter(&filter);
  if (focused) {
    focused->activateWindow();
    focused->setFocus(Qt::OtherFocusReason);
  }
  return result;
}

}  // namespace zelk
