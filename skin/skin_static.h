// SPDX-License-Identifier: GPL-3.0-or-later
// A label with its own colours, drawn transparently over its window's
// background by default, with font operations, rotation and a tooltip.
#pragma once

#include <QLabel>

#include "skin/skin_control.h"

class CSkinStatic : public CSkinControl<QLabel> {
  Q_OBJECT

 public:
  explicit CSkinStatic(QWidget* parent = nullptr);
  explicit CSkinStatic(const QString& text, QWidget* parent = nullptr);

  // Transparent (the default): only the text is drawn and the window's
  // background shows around it. Otherwise the rectangle is filled with the
  // background colour (the system window colour unless set).
  void SetTransparent(bool transparent);
  bool GetTransparent() const { return transparent_; }

 protected:
  void ApplyColors() override;
  void paintEvent(QPaintEvent* event) override;

 private:
  bool transparent_ = true;
};
