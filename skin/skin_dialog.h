// SPDX-License-Identifier: GPL-3.0-or-later
// Windows with a drawn background: plain, one colour, or a bitmap tiled,
// stretched or centred; dragging the window by its background.
#pragma once

#include <QBrush>
#include <QColor>
#include <QDialog>
#include <QImage>
#include <QString>
#include <QWidget>

#include "skin/core/dib_bitmap.h"

class QPainter;

// The background of a skinned window: mode, layout, colour and bitmap, and
// how they paint a client rectangle.
class SkinBackground {
 public:
  enum Mode { kModeDefault = 0, kModeColor = 1, kModeBitmap = 2 };
  enum Layout { kTile = 0, kStretch = 1, kCentre = 2 };

  // Stores the layout, switches to bitmap mode and loads the picture: names
  // starting with ":" from the Qt resources, others from the file (a bare
  // name relative to the current directory). A file that cannot be opened
  // keeps the previous picture; one that is not a readable BMP leaves none.
  void SetBitmap(const QString& fileName, int layout);
  void SetColor(const QColor& color);
  QColor Color() const { return color_; }
  int GetMode() const { return mode_; }
  int GetLayout() const { return layout_; }
  const CDIBitmap& Bitmap() const { return bitmap_; }
  const QImage& Image() const { return image_; }

  // Paints `client` (origin 0,0). `defaultErase` is the window's own
  // background, used by mode 0, by the centred layout beneath the picture
  // and whenever there is no picture. Returns false when only the default
  // was painted.
  bool Paint(QPainter& painter, const QRect& client, const QBrush& defaultErase) const;

 private:
  CDIBitmap bitmap_;
  QImage image_;  // the bitmap converted once for drawing
  int layout_ = kTile;
  QColor color_;
  QBrush brush_;
  int mode_ = kModeDefault;
};

// True when a mouse move should move the window: the left button alone, with
// no other button and no modifier key held.
bool IsBackgroundDrag(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);

class CSkinDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CSkinDialog(QWidget* parent = nullptr, Qt::WindowFlags flags = {});

  // Layout 0 tile, 1 stretch, 2 centre. Repaints the whole window.
  void SetBackgroundBitmap(const QString& fileName, int layout);
  void SetBackgroundColor(const QColor& color);
  bool GetBackgroundColor(QColor& color) const;

  const SkinBackground& Background() const { return background_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;
  // Hands the move over to the window system; true when it took it.
  virtual bool StartSystemMove();

 private:
  SkinBackground background_;
  bool moveStarted_ = false;
};
