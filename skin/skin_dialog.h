// SPDX-License-Identifier: GPL-3.0-or-later
// Windows with a drawn background: plain, one colour, or a bitmap tiled,
// stretched or centred; dragging the window by its background.
#pragma once

#include <QColor>
#include <QDialog>
#include <QString>
#include <QWidget>

#include "skin/skin_background.h"

// True when a mouse move should move the window: the left button alone, with
// no other button and no modifier key held.
bool IsBackgroundDrag(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);

class CSkinDialog : public SkinBackgroundWindow<QDialog> {
  Q_OBJECT

 public:
  explicit CSkinDialog(QWidget* parent = nullptr, Qt::WindowFlags flags = {});

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;
  // Hands the move over to the window system; true when it took it.
  virtual bool StartSystemMove();

 private:
  bool moveStarted_ = false;
};
