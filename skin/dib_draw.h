// SPDX-License-Identifier: GPL-3.0-or-later
// Drawing of CDIBitmap pictures with QPainter, and conversion between
// CDIBitmap and QImage.
#pragma once

#include <QtGui/qrgb.h>
#include <QImage>
#include <QList>
#include <QRect>
#include <QString>

#include "skin/core/dib_bitmap.h"

class QPainter;

// The palette as a Qt colour table (one opaque entry per palette entry).
QList<QRgb> ColorTableFromPalette(const CDIBPalette& palette);

// The picture as a QImage, top row first: 1-, 4- and 8-bit pictures become
// indexed images with the colour table, 16-, 24- and 32-bit ones RGB32.
// A null image for an empty bitmap or one with compressed pixels.
QImage ImageFromDIBitmap(const CDIBitmap& bitmap);

// Draw part: copies a block of dest's size 1:1 to dest's top-left corner,
// taken at src's left edge and at (bottom-up) row height - src.top -
// src.height. Returns the number of rows handed over, 0 when empty.
int DrawPart(QPainter& painter, const CDIBitmap& bitmap, const QRect& dest, const QRect& src);
// The whole picture stretched into (x, y, width, height), nearest neighbour.
int DrawStretched(QPainter& painter, const CDIBitmap& bitmap, int x, int y, int width, int height);
// The picture at (x, y) in its own size.
int Draw(QPainter& painter, const CDIBitmap& bitmap, int x, int y);

// The same drawing for a picture already converted with ImageFromDIBitmap.
void DrawImageStretched(QPainter& painter, const QImage& image, const QRect& target);

// Create from bitmap: stores a QImage in the DIB layout (indexed 8-bit and
// 1-bit images keep their depth and colour table, anything else becomes
// 24-bit). Rows are stored padded. False with a diagnostic for a null image.
bool CreateFromBitmap(CDIBitmap& bitmap, const QImage& image);

// Loads a picture of the program's Qt resources (":/..." or any name QImage
// reads) and converts it with CreateFromBitmap.
bool LoadResource(CDIBitmap& bitmap, const QString& resourceName);
