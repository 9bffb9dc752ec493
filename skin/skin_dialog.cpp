#include "skin/skin_dialog.h"

#include <QEvent>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "skin/dib_draw.h"

void SkinBackground::SetBitmap(const QString& fileName, int layout) {
  layout_ = layout;
  mode_ = kModeBitmap;
  if (fileName.startsWith(QLatin1Char(':'))) {
    LoadResource(bitmap_, fileName);
  } else {
    bitmap_.Load(std::filesystem::path(QFile::encodeName(fileName).toStdString()));
  }
  image_ = ImageFromDIBitmap(bitmap_);
}

void SkinBackground::SetColor(const QColor& color) {
  color_ = color;
  brush_ = QBrush(color);
  mode_ = kModeColor;
}

bool SkinBackground::Paint(QPainter& painter, const QRect& client,
                           const QBrush& defaultErase) const {
  const int cw = client.width();
  const int ch = client.height();
  if (mode_ == kModeColor) {
    painter.fillRect(client, brush_);
    return true;
  }
  if (mode_ != kModeBitmap || image_.isNull()) {
    painter.fillRect(client, defaultErase);
    return false;
  }
  const int bw = image_.width();
  const int bh = image_.height();
  switch (layout_) {
    case kTile:
      for (int y = 0; y < ch; y += bh) {
        for (int x = 0; x < cw; x += bw) painter.drawImage(x, y, image_);
      }
      return true;
    case kStretch:
      DrawImageStretched(painter, image_, QRect(0, 0, cw, ch));
      return true;
    case kCentre:
      painter.fillRect(client, defaultErase);
      // C++ division truncates toward zero, as the layout requires.
      painter.drawImage((cw - bw) / 2, (ch - bh) / 2, image_);
      return true;
    default:
      painter.fillRect(client, defaultErase);
      return false;
  }
}

bool IsBackgroundDrag(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  return buttons == Qt::LeftButton && modifiers == Qt::NoModifier;
}

CSkinDialog::CSkinDialog(QWidget* parent, Qt::WindowFlags flags) : QDialog(parent, flags) {}

void CSkinDialog::SetBackgroundBitmap(const QString& fileName, int layout) {
  background_.SetBitmap(fileName, layout);
  update();
}

void CSkinDialog::SetBackgroundColor(const QColor& color) {
  background_.SetColor(color);
  update();
}

bool CSkinDialog::GetBackgroundColor(QColor& color) const {
  color = background_.Color();
  return true;
}

void CSkinDialog::paintEvent(QPaintEvent* event) {
  if (background_.GetMode() == SkinBackground::kModeDefault) {
    QDialog::paintEvent(event);
    return;
  }
  QPainter painter(this);
  background_.Paint(painter, rect(), palette().window());
}

void CSkinDialog::mousePressEvent(QMouseEvent* event) {
  moveStarted_ = false;
  QDialog::mousePressEvent(event);
}

void CSkinDialog::mouseMoveEvent(QMouseEvent* event) {
  if (!moveStarted_ && IsBackgroundDrag(event->buttons(), event->modifiers())) {
    moveStarted_ = StartSystemMove();
  }
  QDialog::mouseMoveEvent(event);
}

void CSkinDialog::changeEvent(QEvent* event) {
  // A new palette may change the colours the background is drawn with.
  if (event->type() == QEvent::PaletteChange) update();
  QDialog::changeEvent(event);
}

bool CSkinDialog::StartSystemMove() {
  QWindow* window = windowHandle();
  return window != nullptr && window->startSystemMove();
}
