#pragma once

#include <QDialog>
#include <QImage>
#include <functional>

namespace tavo::ui {

// The borderless About window: one picture, closed by a click anywhere.
class About : public QDialog {
  Q_OBJECT

 public:
  explicit About(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QImage picture_;
};

// Time for the start-up wait: a monotonic clock and a sleep that blocks in
// the operating system, so the wait costs no processor time.
struct WaitClock {
  std::function<double()> now;
  std::function<void(double seconds)> sleep;
};

// Shows `about` at once, then waits `seconds` without running window events.
void ShowForAWhile(About& about, double seconds, const WaitClock& clock);

}  // namespace tavo::ui
