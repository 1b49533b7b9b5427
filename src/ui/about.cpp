#include "ui/about.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <cmath>

#include "ui/artwork.h"
#include "ui/twips.h"

namespace tavo::ui {

About::About(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), picture_(AboutPicture()) {
  setObjectName("About");
  setAccessibleName("About Program");
  setAccessibleDescription("Tavo (Client). Click to close.");
  setFixedSize(TwipsSize(7500, 4485));
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
  }
}

void About::paintEvent(QPaintEvent* /*event*/) {
  QPainter p(this);
  p.fillRect(rect(), Qt::black);
  p.drawImage(0, 0, picture_);
}

void About::mousePressEvent(QMouseEvent* event) {
  event->accept();
  accept();
}

void ShowForAWhile(About& about, double seconds, const WaitClock& clock) {
  about.show();
  about.raise();
  // The window must be mapped before it can be painted; this lets only the
  // window system's own events through, never the user's input.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  about.repaint();
  const double start = clock.now();
  for (;;) {
    const double elapsed = std::abs(clock.now() - start);
    if (elapsed >= seconds) break;
    clock.sleep(std::min(0.05, seconds - elapsed));
  }
}

}  // namespace tavo::ui
