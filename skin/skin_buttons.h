// SPDX-License-Identifier: GPL-3.0-or-later
// Skinned check box and combo box.
#pragma once

#include <QCheckBox>
#include <QComboBox>

#include "skin/skin_control.h"

class CSkinCheckBox : public CSkinControl<QCheckBox> {
  Q_OBJECT

 public:
  explicit CSkinCheckBox(QWidget* parent = nullptr);
  explicit CSkinCheckBox(const QString& text, QWidget* parent = nullptr);

  void SetTransparent(bool transparent);
  bool GetTransparent() const { return transparent_; }
  // While false, key presses and left clicks are dropped; setChecked still
  // works and the look stays the same.
  bool SetEditable(bool editable);

 protected:
  void ApplyColors() override;

 private:
  bool transparent_ = true;
};

class CSkinComboBox : public CSkinControl<QComboBox> {
  Q_OBJECT

 public:
  explicit CSkinComboBox(QWidget* parent = nullptr);

  // While false, key presses, left clicks and the wheel are dropped (on the
  // box and on its edit part); the program can still change the selection.
  bool SetEditable(bool editable);

 protected:
  // The same colours answer the box, its edit part and its list.
  void ApplyColors() override;
};
