#include "skin/dib_draw.h"

#include <QPainter>

namespace {

constexpr int kCompressionNone = 0;
constexpr int kCompressionBitFields = 3;

// Index of pixel x in a row of 1, 4 or 8 bits per pixel (leftmost pixel in
// the high bits, as in the file).
int IndexAt(const std::uint8_t* row, int x, int bits) {
  switch (bits) {
    case 1:
      return (row[x / 8] >> (7 - x % 8)) & 0x01;
    case 4:
      return (x % 2 == 0) ? row[x / 2] >> 4 : row[x / 2] & 0x0F;
    default:
      return row[x];
  }
}

QRgb RgbAt(const std::uint8_t* row, int x, int bits) {
  switch (bits) {
    case 16: {
      // 5-5-5 with the high bit unused.
      const int v = row[2 * x] | (row[2 * x + 1] << 8);
      const int r = (v >> 10) & 0x1F, g = (v >> 5) & 0x1F, b = v & 0x1F;
      return qRgb(r * 255 / 31, g * 255 / 31, b * 255 / 31);
    }
    case 24:
      return qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    default:
      return qRgb(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
  }
}

}  // namespace

QList<QRgb> ColorTableFromPalette(const CDIBPalette& palette) {
  QList<QRgb> table;
  table.reserve(static_cast<qsizetype>(palette.entries().size()));
  for (const PaletteEntry& e : palette.entries()) table.push_back(qRgb(e.red, e.green, e.blue));
  return table;
}

QImage ImageFromDIBitmap(const CDIBitmap& bitmap) {
  if (bitmap.IsEmpty() || bitmap.GetPixels() == nullptr) return {};
  const BitmapInfoHeader& h = *bitmap.GetHeader();
  const int bits = h.bitCount;
  const bool plain =
      h.compression == kCompressionNone || (h.compression == kCompressionBitFields && bits == 32);
  if (!plain) return {};
  const int width = h.width;
  const int height = h.height;
  const std::int64_t stride =
      bitmap.IsPadded() ? bitmap.PaddedRowLength() : bitmap.UnpaddedRowLength();
  const std::uint8_t* pixels = bitmap.GetPixels();

  if (bits <= 8) {
    QImage image(width, height, QImage::Format_Indexed8);
    if (image.isNull()) return {};
    // Indices past the palette show black, as they would on a display.
    QList<QRgb> table =
        bitmap.GetPalette() ? ColorTableFromPalette(*bitmap.GetPalette()) : QList<QRgb>();
    table.resize(1 << bits, qRgb(0, 0, 0));
    image.setColorTable(table);
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* row = pixels + stride * (height - 1 - y);
      uchar* line = image.scanLine(y);
      for (int x = 0; x < width; ++x) line[x] = static_cast<uchar>(IndexAt(row, x, bits));
    }
    return image;
  }

  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull()) return {};
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = pixels + stride * (height - 1 - y);
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) line[x] = RgbAt(row, x, bits);
  }
  return image;
}

void DrawImageStretched(QPainter& painter, const QImage& image, const QRect& target) {
  painter.save();
  // Drop rows and columns instead of blending them.
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(target, image);
  painter.restore();
}

int DrawPart(QPainter& painter, const CDIBitmap& bitmap, const QRect& dest, const QRect& src) {
  const QImage image = ImageFromDIBitmap(bitmap);
  if (image.isNull()) return 0;
  // The source row is counted bottom-up from height - top - src height; the
  // block copied is dest's size, so its top row (top-down) is this one.
  const int top = src.top() + src.height() - dest.height();
  painter.drawImage(dest.topLeft(), image, QRect(src.left(), top, dest.width(), dest.height()));
  return image.height();
}

int DrawStretched(QPainter& painter, const CDIBitmap& bitmap, int x, int y, int width, int height) {
  const QImage image = ImageFromDIBitmap(bitmap);
  if (image.isNull()) return 0;
  DrawImageStretched(painter, image, QRect(x, y, width, height));
  return image.height();
}

int Draw(QPainter& painter, const CDIBitmap& bitmap, int x, int y) {
  if (bitmap.IsEmpty()) return 0;
  return DrawStretched(painter, bitmap, x, y, bitmap.GetWidth(), bitmap.GetHeight());
}

bool CreateFromBitmap(CDIBitmap& bitmap, const QImage& source) {
  if (source.isNull()) {
    BitmapDiagnostic("CDIBitmap::CreateFromBitmap(): no bitmap\n");
    bitmap.Empty();
    return false;
  }
  QImage image;
  int bits = 24;
  if (source.format() == QImage::Format_Indexed8) {
    image = source;
    bits = 8;
  } else if (source.format() == QImage::Format_Mono || source.format() == QImage::Format_MonoLSB) {
    image = source.convertToFormat(QImage::Format_Mono);
    bits = 1;
  } else {
    image = source.convertToFormat(QImage::Format_BGR888);
  }

  BitmapInfoHeader h;
  h.size = CDIBitmap::kInfoHeaderSize;
  h.width = image.width();
  h.height = image.height();
  h.planes = 1;
  h.bitCount = static_cast<std::uint16_t>(bits);
  h.sizeImage = (source.depth() * h.width + 31) / 32 * 4 * h.height;

  std::vector<RgbQuad> colors;
  if (bits <= 8) {
    colors.resize(std::size_t{1} << bits);
    const QList<QRgb> table = image.colorTable();
    for (qsizetype i = 0; i < table.size() && i < qsizetype(colors.size()); ++i) {
      colors[i] = RgbQuad{static_cast<std::uint8_t>(qBlue(table[i])),
                          static_cast<std::uint8_t>(qGreen(table[i])),
                          static_cast<std::uint8_t>(qRed(table[i])), 0};
    }
  }

  // Rows are stored padded, bottom row first, so a later write keeps them.
  const std::size_t rowLength = (static_cast<std::size_t>(bits) * h.width + 31) / 32 * 4;
  const std::size_t used = (static_cast<std::size_t>(bits) * h.width + 7) / 8;
  std::vector<std::uint8_t> pixels(rowLength * h.height, 0);
  for (int y = 0; y < h.height; ++y) {
    const uchar* line = image.constScanLine(y);
    std::copy_n(line, used,
                pixels.begin() + static_cast<std::ptrdiff_t>(rowLength) * (h.height - 1 - y));
  }
  if (!bitmap.Create(h, colors, pixels, true)) {
    BitmapDiagnostic("CDIBitmap::CreateFromBitmap(): could not allocate data storage\n");
    return false;
  }
  return true;
}

bool LoadResource(CDIBitmap& bitmap, const QString& resourceName) {
  return CreateFromBitmap(bitmap, QImage(resourceName));
}
