#include "skin/logical_font.h"

#include <algorithm>
#include <cmath>
#include <cstring>

QString LogicalFont::FaceName() const {
  return QString::fromUtf8(faceName, static_cast<qsizetype>(strnlen(faceName, kFaceSize)));
}

void LogicalFont::SetFaceName(const QString& name) {
  std::memset(faceName, 0, sizeof faceName);
  QString cut = name;
  QByteArray bytes = cut.toUtf8();
  while (bytes.size() > kFaceSize - 1) {
    cut.chop(1);
    bytes = cut.toUtf8();
  }
  std::memcpy(faceName, bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::int32_t HeightFromPointSize(double pointSize, int logicalDpiY) {
  return -static_cast<std::int32_t>(std::lround(pointSize * logicalDpiY / 72.0));
}

QFont FontFromLogical(const LogicalFont& logical, const QFont& base) {
  QFont font = base;
  const QString face = logical.FaceName();
  if (!face.isEmpty()) font.setFamilies(QStringList{face});
  if (logical.height != 0) font.setPixelSize(std::abs(logical.height));
  font.setWeight(logical.weight == 0
                     ? QFont::Normal
                     : static_cast<QFont::Weight>(std::clamp(logical.weight, 1, 1000)));
  font.setItalic(logical.italic != 0);
  font.setUnderline(logical.underline != 0);
  font.setStrikeOut(logical.strikeOut != 0);
  return font;
}

LogicalFont LogicalFromFont(const QFont& font, int logicalDpiY) {
  LogicalFont logical;
  logical.height = font.pixelSize() > 0 ? -font.pixelSize()
                                        : HeightFromPointSize(font.pointSizeF(), logicalDpiY);
  logical.weight = font.weight();
  logical.italic = font.italic() ? 1 : 0;
  logical.underline = font.underline() ? 1 : 0;
  logical.strikeOut = font.strikeOut() ? 1 : 0;
  logical.charSet = LogicalFont::kDefaultCharSet;
  logical.SetFaceName(font.family());
  return logical;
}
