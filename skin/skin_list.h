// SPDX-License-Identifier: GPL-3.0-or-later
// Skinned list box and list view.
#pragma once

#include <QListWidget>
#include <QTreeWidget>

#include "skin/skin_control.h"

// Left and right clicks and double-clicks, and key presses other than dialog
// navigation: what a read-only list drops.
bool IsListInput(const QEvent* event);

class CSkinListBox : public CSkinControl<QListWidget> {
  Q_OBJECT

 public:
  explicit CSkinListBox(QWidget* parent = nullptr);
  // While false, the user cannot change the selection; the program can.
  bool SetEditable(bool editable);

 protected:
  void ApplyColors() override;
};

// A list view in report form (columns, no tree decoration).
class CSkinListCtrl : public CSkinControl<QTreeWidget> {
  Q_OBJECT

 public:
  explicit CSkinListCtrl(QWidget* parent = nullptr);
  bool SetEditable(bool editable);

 protected:
  void ApplyColors() override;
};
