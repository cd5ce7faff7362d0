#pragma once
// TProcessTool: the small window that says a one-shot computation is running. It stays on
// top, sits in the middle of the screen and shows a busy animation while it is visible.

#include <QDialog>

class QLabel;
class QTimer;

namespace zelk {

class BusyAnimation : public QWidget {
 public:
  explicit BusyAnimation(QWidget* parent = nullptr);
  void SetActive(bool active);
  bool Active() const;
  int Frame() const { return frame_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QTimer* timer_;
  int frame_ = 0;
};

class TProcessTool : public QDialog {
 public:
  explicit TProcessTool(QWidget* parent = nullptr);
  void ShowProgress();
  void HideProgress();
  BusyAnimation* Animation() const { return animation_; }
  QLabel* MsgLabel() const { return label_; }

 private:
  BusyAnimation* animation_;
  QLabel* label_;
};

}  // namespace zelk
