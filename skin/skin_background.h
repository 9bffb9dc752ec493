// SPDX-License-Identifier: GPL-3.0-or-later
// The drawn background the skinned windows share: plain, one colour, or a
// bitmap tiled, stretched or centred, and the window class that paints it.
#pragma once

#include <QBrush>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QString>

#include "skin/core/dib_bitmap.h"

class QPaintEvent;

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

// A window of class `Base` (QDialog, QWidget) painted with a SkinBackground.
template <class Base>
class SkinBackgroundWindow : public Base {
 public:
  using Base::Base;

  // Layout 0 tile, 1 stretch, 2 centre. Repaints the whole window.
  void SetBackgroundBitmap(const QString& fileName, int layout) {
    background_.SetBitmap(fileName, layout);
    this->update();
  }
  void SetBackgroundColor(const QColor& color) {
    background_.SetColor(color);
    this->update();
  }
  bool GetBackgroundColor(QColor& color) const {
    color = background_.Color();
    return true;
  }
  const SkinBackground& Background() const { return background_; }

 protected:
  void paintEvent(QPaintEvent* event) override {
    if (background_.GetMode() == SkinBackground::kModeDefault) {
      Base::paintEvent(event);
      return;
    }
    QPainter painter(this);
    background_.Paint(painter, this->rect(), this->palette().window());
  }

 private:
  SkinBackground background_;
};
