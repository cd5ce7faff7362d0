#include <sys/stat.h>
#include <unistd.h>

#include <QGuiApplication>
#include <cstdlib>
#include <string>

#include "tools/zelkcli/pictures.h"
#include "qtpaint/qt_canvas.h"

namespace zelk {

namespace {

// Fonts need a GUI application; a terminal has no display, so it runs offscreen unless the
// user chose a platform. Made on first use and left to the end of the process.
void EnsureGuiApplication() {
  if (QGuiApplication::instance()) return;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Qt warns on every run without a runtime folder; a private one keeps the terminal quiet.
  if (!std::getenv("XDG_RUNTIME_DIR")) {
    const std::string folder = "/tmp/zelkcli-runtime-" + std::to_string(getuid());
    mkdir(folder.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
  }
  static int argc = 1;
  static char name[] = "zelkcli";
  static char* argv[] = {name, nullptr};
  new QGuiApplication(argc, argv);
}

}  // namespace

const TextMeasure& ChartTextMeasure() {
  EnsureGuiApplication();
  static const QtTextMeasure measure;
  return measure;
}

std::string WriteChartPicture(const std::string& path, int width, int height,
                              const std::function<void(Canvas&)>& draw) {
  EnsureGuiApplication();
  return WriteQtPicture(path, width, height, draw);
}

}  // namespace zelk
