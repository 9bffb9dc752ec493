// SPDX-License-Identifier: GPL-3.0-or-later
// The form view with a skinned background, windows whose outline comes from
// a bitmap, and the borderless child frame that carries a shaped view.
#pragma once

#include <QColor>
#include <QImage>
#include <QMdiSubWindow>
#include <QRegion>
#include <QString>
#include <QWidget>
#include <optional>

#include "skin/skin_dialog.h"

// Moves `window` with the mouse when the move is a background drag.
bool StartBackgroundDrag(QWidget* window, const QMouseEvent* event);

// A view (a page of controls inside a frame window) with the background of
// CSkinDialog; dragging it moves the frame around it.
class CSkinFormView : public SkinBackgroundWindow<QWidget> {
  Q_OBJECT

 public:
  explicit CSkinFormView(QWidget* parent = nullptr);

  // The layout must be 0, 1 or 2.
  void SetBackgroundBitmap(const QString& fileName, int layout);

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
};

// The bitmap and outline of a shaped window, fixed when it is first shown.
class SkinShape {
 public:
  void Set(const QString& fileName, const QColor& transparentColor);
  // Loads the bitmap and builds the outline; false (no outline, nothing to
  // paint) when there is no name or the file is not a readable bitmap.
  bool Create();
  const QImage& Image() const { return image_; }
  const std::optional<QRegion>& Region() const { return region_; }
  bool HasFileName() const { return !fileName_.isEmpty(); }
  // Paints the bitmap at the top left of `widget`; false when there is none.
  bool Paint(QWidget& widget) const;

 private:
  QString fileName_;
  QColor transparentColor_;
  QImage image_;
  std::optional<QRegion> region_;
};

// A frameless dialog whose outline is the bitmap's pixels other than the
// transparent colour, painted with that bitmap.
class CSkinShapedDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CSkinShapedDialog(QWidget* parent = nullptr);

  // Takes effect when the window is first shown.
  void SetShapeBitmap(const QString& fileName, const QColor& transparentColor);

 protected:
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  SkinShape shape_;
  bool created_ = false;
};

// A view shaped by a bitmap; the outline is set on the frame window holding
// it, moved by the view's place in that frame.
class CSkinShapedFormView : public QWidget {
  Q_OBJECT

 public:
  CSkinShapedFormView(const QString& fileName, const QColor& transparentColor,
                      QWidget* parent = nullptr);

 protected:
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  SkinShape shape_;
  bool created_ = false;
};

// An MDI child frame without caption or border, to carry a shaped view.
class CSkinChildFrame : public QMdiSubWindow {
  Q_OBJECT

 public:
  explicit CSkinChildFrame(QWidget* parent = nullptr);
};
