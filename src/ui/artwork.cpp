#include "ui/artwork.h"

#include <QCoreApplication>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>

namespace tavo::ui {
namespace {

// The classic 16-colour palette; the icon uses nothing else.
constexpr QRgb kBlack = 0xff000000;
constexpr QRgb kNavy = 0xff000080;
constexpr QRgb kTeal = 0xff008080;
constexpr QRgb kGray = 0xff808080;
constexpr QRgb kSilver = 0xffc0c0c0;
constexpr QRgb kLime = 0xff00ff00;
constexpr QRgb kYellow = 0xffffff00;
constexpr QRgb kWhite = 0xffffffff;

// A small organizer: a clamshell body with a display and keys.
void DrawOrganizer(QPainter& p, const QRect& body, QColor case_colour, QColor screen_colour,
                   QColor key_colour) {
  p.setPen(Qt::black);
  p.setBrush(case_colour);
  p.drawRect(body);
  const int margin = body.width() / 8;
  const QRect screen(body.left() + margin, body.top() + margin, body.width() - 2 * margin,
                     body.height() / 2 - margin);
  p.setBrush(screen_colour);
  p.drawRect(screen);
  p.setBrush(key_colour);
  const int key_top = screen.bottom() + margin;
  const int key = std::max(2, body.width() / 8);
  for (int row = 0; row < 2; ++row) {
    for (int col = 0; col < 4; ++col) {
      const int x = body.left() + margin + col * (key + key / 2 + 1);
      const int y = key_top + row * (key + key / 2 + 1);
      if (x + key < body.right() && y + key < body.bottom()) p.drawRect(x, y, key, key);
    }
  }
}

}  // namespace

QImage IconImage() {
  QImage image(32, 32, QImage::Format_RGB32);
  image.fill(kTeal);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  // A monitor on the right, an organizer on the left, a cable between.
  p.setPen(QColor(kBlack));
  p.setBrush(QColor(kSilver));
  p.drawRect(16, 5, 14, 12);
  p.setBrush(QColor(kNavy));
  p.drawRect(18, 7, 10, 8);
  p.setBrush(QColor(kGray));
  p.drawRect(20, 18, 6, 2);
  p.drawRect(17, 21, 12, 3);
  DrawOrganizer(p, QRect(2, 12, 12, 17), QColor(kGray), QColor(kLime), QColor(kSilver));
  p.setPen(QColor(kYellow));
  p.drawLine(14, 20, 16, 20);
  p.drawLine(16, 20, 16, 26);
  p.drawLine(16, 26, 17, 26);
  p.setPen(QColor(kWhite));
  p.drawPoint(19, 8);
  return image;
}

QIcon WindowIcon() { return {QPixmap::fromImage(IconImage())}; }

QImage AboutPicture() {
  QImage image(kAboutPictureWidth, kAboutPictureHeight, QImage::Format_RGB888);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, true);
  QLinearGradient sky(0, 0, 0, kAboutPictureHeight);
  sky.setColorAt(0, QColor(18, 44, 86));
  sky.setColorAt(1, QColor(40, 120, 140));
  p.fillRect(image.rect(), sky);

  DrawOrganizer(p, QRect(40, 120, 110, 140), QColor(150, 150, 160), QColor(170, 210, 120),
                QColor(220, 220, 225));
  // The cable, drawn as a gentle curve to the computer.
  QPen cable(QColor(240, 200, 60), 4);
  p.setPen(cable);
  QPainterPath path(QPointF(150, 200));
  path.cubicTo(QPointF(210, 250), QPointF(260, 150), QPointF(330, 220));
  p.setBrush(Qt::NoBrush);
  p.drawPath(path);
  p.setPen(Qt::black);
  p.setBrush(QColor(200, 200, 205));
  p.drawRoundedRect(QRect(330, 140, 130, 95), 6, 6);
  p.setBrush(QColor(20, 30, 90));
  p.drawRect(QRect(340, 150, 110, 72));
  p.setBrush(QColor(160, 160, 165));
  p.drawRect(QRect(375, 235, 40, 10));
  p.drawRect(QRect(350, 245, 90, 12));

  p.setPen(Qt::white);
  QFont title = p.font();
  title.setPixelSize(34);
  title.setBold(true);
  p.setFont(title);
  p.drawText(QRect(0, 22, kAboutPictureWidth, 44), Qt::AlignHCenter, "Tavo (Client)");
  QFont small = p.font();
  small.setPixelSize(15);
  small.setBold(false);
  p.setFont(small);
  p.drawText(QRect(0, 68, kAboutPictureWidth, 22), Qt::AlignHCenter,
             "Your files on the electronic organizer");
  p.drawText(QRect(0, 270, kAboutPictureWidth - 12, 22), Qt::AlignRight,
             "Version " + QCoreApplication::applicationVersion());
  return image;
}

}  // namespace tavo::ui
