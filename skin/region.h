// SPDX-License-Identifier: GPL-3.0-or-later
// Window outlines from bitmaps: the Qt side of RegionFromBitmap.
#pragma once

#include <QColor>
#include <QImage>
#include <QRegion>
#include <optional>

#include "skin/core/region_from_bitmap.h"

// The outline of `bitmap`: the union of its one-pixel-high runs that do not
// match `color` (colourIsTransparent) or that do match it (otherwise),
// merged batch by batch. None for a null image.
std::optional<QRegion> RegionFromBitmap(const QImage& bitmap, const QColor& color,
                                        bool colourIsTransparent);

// The union of the batches of rectangles.
QRegion RegionFromRects(const RegionRects& rects);
