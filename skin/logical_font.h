// SPDX-License-Identifier: GPL-3.0-or-later
// The logical font description of the skinned controls' font operations and
// its mapping onto QFont.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>
#include <cstdint>

struct LogicalFont {
  static constexpr int kFaceSize = 32;  // including the terminating zero
  static constexpr std::int32_t kWeightBold = 700;
  static constexpr std::uint8_t kDefaultCharSet = 1;

  std::int32_t height = 0;  // < 0: character height in pixels; > 0: cell height
  std::int32_t width = 0;
  std::int32_t escapement = 0;   // tenths of a degree, counter-clockwise
  std::int32_t orientation = 0;  // tenths of a degree
  std::int32_t weight = 0;       // 0 default, 400 normal, 700 bold
  std::uint8_t italic = 0;
  std::uint8_t underline = 0;
  std::uint8_t strikeOut = 0;
  std::uint8_t charSet = 0;
  std::uint8_t outPrecision = 0;
  std::uint8_t clipPrecision = 0;
  std::uint8_t quality = 0;
  std::uint8_t pitchAndFamily = 0;
  char faceName[kFaceSize] = {};

  QString FaceName() const;
  // Copies the name, cut to 31 bytes of UTF-8 (never inside a character).
  void SetFaceName(const QString& name);
};

// -(pointSize × logicalDpiY ÷ 72), rounded to the nearest integer.
std::int32_t HeightFromPointSize(double pointSize, int logicalDpiY);

// The font a description names; parts it leaves at 0 come from `base`.
// Escapement is not part of QFont: the controls draw rotated text themselves.
QFont FontFromLogical(const LogicalFont& logical, const QFont& base);

// The description of a font as shown on a surface of the given DPI.
LogicalFont LogicalFromFont(const QFont& font, int logicalDpiY);
