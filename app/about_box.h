// SPDX-License-Identifier: GPL-3.0-or-later
// The about box: the application icon, the program's name and version, one
// line about what it does, and "OK".
#pragma once

#include <QDialog>

class QFont;

class CAboutBox : public QDialog {
  Q_OBJECT
 public:
  // Laid out in dialog units of `font`, the main window's dialog font.
  CAboutBox(const QFont& font, QWidget* parent = nullptr);
};
