#include <QApplication>

#include "ui/main_window.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Zelk 3.0");
  QApplication::setApplicationDisplayName("Zelk 3.0");
  zelk::TMForm form;
  form.show();
  return app.exec();
}
