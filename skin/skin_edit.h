// SPDX-License-Identifier: GPL-3.0-or-later
// Skinned edit field, with a second pair of colours while it has the focus,
// and the number field built on it.
#pragma once

#include <QLineEdit>

#include "skin/skin_control.h"

class CSkinEdit : public CSkinControl<QLineEdit> {
  Q_OBJECT

 public:
  explicit CSkinEdit(QWidget* parent = nullptr);

  void SetFocusBackColor(const QColor& color);
  bool GetFocusBackColor(QColor& color) const;
  void SetFocusForeColor(const QColor& color);
  bool GetFocusForeColor(QColor& color) const;

  // While false, typing, the context menu (right button), paste by middle
  // button or drop are dropped; setText still works and the look stays.
  bool SetEditable(bool editable);

 protected:
  void ApplyColors() override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  QColor focusBackColor_;
  QColor focusForeColor_;
  bool focused_ = false;
};

// An edit that takes only the characters of a floating-point number and, if
// asked, rewrites its text as "%g" when the focus leaves it.
class CSkinNumEdit : public CSkinEdit {
  Q_OBJECT

 public:
  explicit CSkinNumEdit(QWidget* parent = nullptr);

  void SetFormatOnLeave(bool format) { formatOnLeave_ = format; }
  bool GetFormatOnLeave() const { return formatOnLeave_; }

  // The decimal separator of the current C locale.
  static QString DecimalSeparator();
  // The text read as a number by the C library's rules and printed "%g".
  static QString FormatNumber(const QString& text);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  bool formatOnLeave_ = false;
};
