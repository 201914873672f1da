#include "desktop/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace tarvo::desktop {
namespace {

constexpr int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// One arrow of the two that chase each other round the screen's centre.
void drawArrow(QPainter& p, const QRectF& circle, int startDegrees, const QColor& colour, double width) {
  p.setPen(QPen(colour, width, Qt::SolidLine, Qt::FlatCap));
  p.setBrush(Qt::NoBrush);
  p.drawArc(circle, startDegrees * 16, 130 * 16);
  // The head at the arc's end, pointing on round the circle.
  const double end = (startDegrees + 130) * M_PI / 180.0;
  const QPointF centre = circle.center();
  const double r = circle.width() / 2;
  const QPointF tip(centre.x() + r * std::cos(end), centre.y() - r * std::sin(end));
  const QPointF along(-std::sin(end), -std::cos(end));  // direction of travel, screen coordinates
  const QPointF out(std::cos(end), -std::sin(end));
  const double h = width * 1.6;
  QPolygonF head;
  head << tip + along * h << tip + out * h << tip - out * h;
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawPolygon(head);
}

}  // namespace

QImage drawAppIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);
  // The handheld: body, screen, and the sync arrows on the screen.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x2e, 0x4a, 0x6b));
  p.drawRoundedRect(QRectF(12, 2, 40, 60), 7, 7);
  p.setBrush(QColor(0xd8, 0xe8, 0xc8));
  p.drawRect(QRectF(17, 8, 30, 34));
  p.setBrush(QColor(0x9a, 0xb0, 0xc8));
  p.drawEllipse(QRectF(27, 47, 10, 10));
  const QRectF circle(22, 15, 20, 20);
  drawArrow(p, circle, 20, QColor(0x1f, 0x6f, 0x3a), 3.5);
  drawArrow(p, circle, 200, QColor(0x1f, 0x6f, 0x3a), 3.5);
  return image;
}

QIcon appIcon() {
  QIcon icon;
  for (int size : kSizes) icon.addPixmap(QPixmap::fromImage(drawAppIcon(size)));
  return icon;
}

QIcon statusIcon(StatusKind kind) {
  if (kind == StatusKind::NoManager) {
    // Greyed: nothing watches the cradle.
    QIcon icon;
    for (int size : kSizes) icon.addPixmap(appIcon().pixmap(size, QIcon::Disabled));
    return icon;
  }
  if (kind == StatusKind::Waiting || kind == StatusKind::Idle) return appIcon();
  QIcon icon;
  for (int size : kSizes) {
    QImage image = drawAppIcon(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    const QRectF badge(34, 34, 30, 30);
    const QColor colour = kind == StatusKind::Failed ? QColor(0xc0, 0x1c, 0x28)
                          : kind == StatusKind::Done ? QColor(0x26, 0xa2, 0x69)
                                                     : QColor(0x1c, 0x71, 0xd8);
    p.setPen(QPen(Qt::white, 2.5));
    p.setBrush(colour);
    p.drawEllipse(badge);
    p.setPen(QPen(Qt::white, 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (kind == StatusKind::Failed) {  // "!"
      p.drawLine(QPointF(49, 40), QPointF(49, 51));
      p.drawPoint(QPointF(49, 57));
    } else if (kind == StatusKind::Done) {  // a tick
      p.drawPolyline(QPolygonF({QPointF(41, 49), QPointF(47, 55), QPointF(57, 43)}));
    } else {  // running: a play mark
      p.setPen(Qt::NoPen);
      p.setBrush(Qt::white);
      p.drawPolygon(QPolygonF({QPointF(44, 40), QPointF(57, 49), QPointF(44, 58)}));
    }
    p.end();
    icon.addPixmap(QPixmap::fromImage(image));
  }
  return icon;
}

}  // namespace tarvo::desktop
