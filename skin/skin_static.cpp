#include "skin/skin_static.h"

#include <QPainter>

CSkinStatic::CSkinStatic(QWidget* parent) : CSkinControl<QLabel>(parent) {}

CSkinStatic::CSkinStatic(const QString& text, QWidget* parent) : CSkinControl<QLabel>(parent) {
  setText(text);
}

void CSkinStatic::SetTransparent(bool transparent) {
  transparent_ = transparent;
  ApplyColors();
  update();
}

void CSkinStatic::ApplyColors() {
  QPalette colors = palette();
  colors.setColor(QPalette::WindowText, foreColor_);
  colors.setColor(QPalette::Window, backColor_);
  setPalette(colors);
  setAutoFillBackground(!transparent_);
}

void CSkinStatic::paintEvent(QPaintEvent* event) {
  if (!hasLogicalFont_ || logicalFont_.escapement == 0) {
    QLabel::paintEvent(event);
    return;
  }
  // Rotated text (escapement in tenths of a degree, counter-clockwise),
  // turned about the middle of the label.
  QPainter painter(this);
  painter.setFont(font());
  painter.setPen(palette().color(foregroundRole()));
  painter.translate(rect().center());
  painter.rotate(-logicalFont_.escapement / 10.0);
  const QRect textRect = painter.fontMetrics().boundingRect(text());
  painter.drawText(
      QRect(-textRect.width() / 2, -textRect.height() / 2, textRect.width(), textRect.height()),
      Qt::AlignCenter, text());
}
