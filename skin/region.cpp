#include "skin/region.h"

#include <QVector>

QRegion RegionFromRects(const RegionRects& rects) {
  QRegion result;
  bool first = true;
  for (const RegionBatch& batch : rects.batches) {
    QVector<QRect> part;
    part.reserve(static_cast<qsizetype>(batch.rects.size()));
    for (const RegionRect& r : batch.rects) {
      part.push_back(QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)));
    }
    QRegion partRegion;
    partRegion.setRects(part.constData(), static_cast<int>(part.size()));
    result = first ? partRegion : result.united(partRegion);
    first = false;
  }
  return result;
}

std::optional<QRegion> RegionFromBitmap(const QImage& bitmap, const QColor& color,
                                        bool colourIsTransparent) {
  if (bitmap.isNull()) return std::nullopt;
  const QImage pixels = bitmap.convertToFormat(QImage::Format_RGB32);
  if (pixels.isNull()) return std::nullopt;
  const RegionRects rects = RegionRectsFromPixels(
      reinterpret_cast<const std::uint32_t*>(pixels.constBits()), pixels.width(), pixels.height(),
      pixels.bytesPerLine() / 4, color.rgb(), colourIsTransparent);
  return RegionFromRects(rects);
}
