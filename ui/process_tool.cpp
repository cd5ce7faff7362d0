#include "ui/process_tool.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTimer>

namespace zelk {

namespace {
constexpr int kFrames = 30;  // frames 0..29, as the folder-search animation had
}

BusyAnimation::BusyAnimation(QWidget* parent) : QWidget(parent), timer_(new QTimer(this)) {
  setObjectName("Animate1");
  timer_->setInterval(60);
  connect(timer_, &QTimer::timeout, this, [this] {
    frame_ = (frame_ + 1) % kFrames;
    update();
  });
}

void BusyAnimation::SetActive(bool active) {
  if (active)
    timer_->start();
  else
    timer_->stop();
}

bool BusyAnimation::Active() const { return timer_->isActive(); }

void BusyAnimation::paintEvent(QPaintEvent*) {
  // A sheet travelling between two folders.
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QColor folder(230, 190, 80), outline(150, 110, 30);
  painter.setPen(outline);
  painter.setBrush(folder);
  painter.drawRect(2, 24, 22, 18);
  painter.drawRect(width() - 25, 24, 22, 18);
  const double t = static_cast<double>(frame_) / (kFrames - 1);
  const int travel = width() - 40;
  const int x = 8 + static_cast<int>(t * travel);
  const int y = 20 - static_cast<int>(16 * 4 * t * (1 - t));
  painter.setPen(Qt::darkGray);
  painter.setBrush(Qt::white);
  painter.drawRect(x, y, 10, 13);
}

TProcessTool::TProcessTool(QWidget* parent)
    : QDialog(parent,
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      animation_(new BusyAnimation(this)),
      label_(new QLabel("Please wait until process finishes ...", this)) {
  setObjectName("ProcessTool");
  setWindowTitle("Process Active...");
  setFixedSize(271, 65);
  animation_->setGeometry(8, 8, 80, 50);
  label_->setObjectName("MsgLabel");
  label_->move(96, 24);
  label_->adjustSize();
  setModal(false);
}

void TProcessTool::ShowProgress() {
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  show();
  raise();
  animation_->SetActive(true);
}

void TProcessTool::HideProgress() {
  animation_->SetActive(false);
  hide();
}

}  // namespace zelk
