#include "skin/skin_background.h"

#include <QFile>

#include "skin/dib_draw.h"

void SkinBackground::SetBitmap(const QString& fileName, int layout) {
  layout_ = layout;
  mode_ = kModeBitmap;
  if (fileName.startsWith(QLatin1Char(':'))) {
    LoadResource(bitmap_, fileName);
  } else {
    bitmap_.Load(std::filesystem::path(QFile::encodeName(fileName).toStdString()));
  }
  image_ = ImageFromDIBitmap(bitmap_);
}

void SkinBackground::SetColor(const QColor& color) {
  color_ = color;
  brush_ = QBrush(color);
  mode_ = kModeColor;
}

bool SkinBackground::Paint(QPainter& painter, const QRect& client,
                           const QBrush& defaultErase) const {
  const int cw = client.width();
  const int ch = client.height();
  if (mode_ == kModeColor) {
    painter.fillRect(client, brush_);
    return true;
  }
  if (mode_ != kModeBitmap || image_.isNull()) {
    painter.fillRect(client, defaultErase);
    return false;
  }
  const int bw = image_.width();
  const int bh = image_.height();
  switch (layout_) {
    case kTile:
      for (int y = 0; y < ch; y += bh) {
        for (int x = 0; x < cw; x += bw) painter.drawImage(x, y, image_);
      }
      return true;
    case kStretch:
      DrawImageStretched(painter, image_, QRect(0, 0, cw, ch));
      return true;
    case kCentre:
      painter.fillRect(client, defaultErase);
      // C++ division truncates toward zero, as the layout requires.
      painter.drawImage((cw - bw) / 2, (ch - bh) / 2, image_);
      return true;
    default:
      painter.fillRect(client, defaultErase);
      return false;
  }
}
