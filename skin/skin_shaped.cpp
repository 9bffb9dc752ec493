#include "skin/skin_shaped.h"

#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "skin/dib_draw.h"
#include "skin/region.h"

bool StartBackgroundDrag(QWidget* window, const QMouseEvent* event) {
  if (!IsBackgroundDrag(event->buttons(), event->modifiers())) return false;
  QWindow* handle = window->windowHandle();
  return handle != nullptr && handle->startSystemMove();
}

CSkinFormView::CSkinFormView(QWidget* parent) : SkinBackgroundWindow<QWidget>(parent) {}

void CSkinFormView::SetBackgroundBitmap(const QString& fileName, int layout) {
  Q_ASSERT(layout >= SkinBackground::kTile && layout <= SkinBackground::kCentre);
  SkinBackgroundWindow<QWidget>::SetBackgroundBitmap(fileName, layout);
}

void CSkinFormView::mouseMoveEvent(QMouseEvent* event) {
  StartBackgroundDrag(window(), event);
  QWidget::mouseMoveEvent(event);
}

void SkinShape::Set(const QString& fileName, const QColor& transparentColor) {
  fileName_ = fileName;
  transparentColor_ = transparentColor;
}

bool SkinShape::Create() {
  image_ = QImage();
  region_.reset();
  if (fileName_.isEmpty()) return false;
  CDIBitmap bitmap;
  if (!bitmap.Load(std::filesystem::path(QFile::encodeName(fileName_).toStdString()))) {
    return false;
  }
  image_ = ImageFromDIBitmap(bitmap);
  region_ = RegionFromBitmap(image_, transparentColor_, true);
  return !image_.isNull();
}

bool SkinShape::Paint(QWidget& widget) const {
  if (image_.isNull()) return false;
  QPainter painter(&widget);
  painter.drawImage(0, 0, image_);
  return true;
}

CSkinShapedDialog::CSkinShapedDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {}

void CSkinShapedDialog::SetShapeBitmap(const QString& fileName, const QColor& transparentColor) {
  shape_.Set(fileName, transparentColor);
}

void CSkinShapedDialog::showEvent(QShowEvent* event) {
  if (!created_) {
    created_ = true;
    if (shape_.Create() && shape_.Region()) setMask(*shape_.Region());
  }
  QDialog::showEvent(event);
}

void CSkinShapedDialog::paintEvent(QPaintEvent* event) {
  if (!shape_.Paint(*this)) QDialog::paintEvent(event);
}

void CSkinShapedDialog::mouseMoveEvent(QMouseEvent* event) {
  StartBackgroundDrag(this, event);
  QDialog::mouseMoveEvent(event);
}

CSkinShapedFormView::CSkinShapedFormView(const QString& fileName, const QColor& transparentColor,
                                         QWidget* parent)
    : QWidget(parent) {
  if (!fileName.isEmpty()) shape_.Set(fileName, transparentColor);
}

void CSkinShapedFormView::showEvent(QShowEvent* event) {
  if (!created_) {
    created_ = true;
    if (shape_.Create() && shape_.Region()) {
      window()->setMask(shape_.Region()->translated(mapTo(window(), QPoint(0, 0))));
    }
  }
  QWidget::showEvent(event);
}

void CSkinShapedFormView::paintEvent(QPaintEvent* event) {
  if (!shape_.Paint(*this)) QWidget::paintEvent(event);
}

void CSkinShapedFormView::mouseMoveEvent(QMouseEvent* event) {
  StartBackgroundDrag(window(), event);
  QWidget::mouseMoveEvent(event);
}

CSkinChildFrame::CSkinChildFrame(QWidget* parent)
    : QMdiSubWindow(parent, Qt::SubWindow | Qt::FramelessWindowHint) {}
