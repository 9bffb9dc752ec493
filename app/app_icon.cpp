#include "app/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

QImage DrawAppIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 32.0, size / 32.0);

  // Rounded dark-blue tile (the colour of the background water).
  painter.setPen(QPen(QColor(0x10, 0x2a, 0x4c), 1.0));
  painter.setBrush(QColor(0x1d, 0x5f, 0x9e));
  painter.drawRoundedRect(QRectF(0.5, 0.5, 31, 31), 5, 5);

  // Three bars of a chart, rising.
  painter.setPen(Qt::NoPen);
  const QColor bars[] = {QColor(0xf2, 0xc1, 0x2e), QColor(0xf2, 0x8c, 0x28),
                         QColor(0xe0, 0x40, 0x30)};
  const double heights[] = {9, 15, 21};
  for (int i = 0; i < 3; ++i) {
    painter.setBrush(bars[i]);
    painter.drawRect(QRectF(5 + i * 8, 28 - heights[i], 6, heights[i]));
  }

  // Cross-hairs.
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(Qt::white, 2.0));
  painter.drawEllipse(QPointF(16, 14), 8, 8);
  painter.setPen(QPen(Qt::white, 1.5));
  painter.drawLine(QPointF(16, 2.5), QPointF(16, 9));
  painter.drawLine(QPointF(16, 19), QPointF(16, 25.5));
  painter.drawLine(QPointF(4.5, 14), QPointF(11, 14));
  painter.drawLine(QPointF(21, 14), QPointF(27.5, 14));
  return image;
}

QIcon AppIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256})
    icon.addPixmap(QPixmap::fromImage(DrawAppIcon(size)));
  return icon;
}
