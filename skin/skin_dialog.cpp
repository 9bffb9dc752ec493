#include "skin/skin_dialog.h"

#include <QEvent>
#include <QMouseEvent>
#include <QWindow>

bool IsBackgroundDrag(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  return buttons == Qt::LeftButton && modifiers == Qt::NoModifier;
}

CSkinDialog::CSkinDialog(QWidget* parent, Qt::WindowFlags flags)
    : SkinBackgroundWindow<QDialog>(parent, flags) {}

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
