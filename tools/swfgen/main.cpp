// SPDX-License-Identifier: GPL-3.0-or-later
// swfgen OUTPUT FONT: writes the cover animation to OUTPUT, with the title
// and subtitle drawn as outlines of the TrueType font file FONT.
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainterPath>
#include <QString>

#include <cstdio>
#include <exception>

#include "base/file_io.h"
#include "tools/swfgen/cover_animation.h"

namespace {

using varnokel::swf::Outline;
using varnokel::swf::OutlineSegment;

// Glyph paths come from the font as quadratic curves raised to cubic ones by
// Qt; the quadratic control point is recovered from the two cubic ones.
Outline TextOutline(const QString& text, const QFont& font) {
  QPainterPath path;
  path.addText(0, 0, font, text);
  Outline outline;
  for (int i = 0; i < path.elementCount(); ++i) {
    const QPainterPath::Element e = path.elementAt(i);
    if (e.isMoveTo()) {
      outline.push_back({OutlineSegment::kMove, e.x, e.y, 0, 0});
    } else if (e.isLineTo()) {
      outline.push_back({OutlineSegment::kLine, e.x, e.y, 0, 0});
    } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
      const QPainterPath::Element start = path.elementAt(i - 1);
      const QPainterPath::Element c2 = path.elementAt(i + 1);
      const QPainterPath::Element end = path.elementAt(i + 2);
      const double cx = (3 * (e.x + c2.x) - start.x - end.x) / 4;
      const double cy = (3 * (e.y + c2.y) - start.y - end.y) / 4;
      outline.push_back({OutlineSegment::kQuad, end.x, end.y, cx, cy});
      i += 2;
    }
  }
  return outline;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: swfgen OUTPUT FONT\n");
    return 2;
  }
  // Only the font machinery is needed; no display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const int id = QFontDatabase::addApplicationFont(QString::fromLocal8Bit(argv[2]));
  const QStringList families = QFontDatabase::applicationFontFamilies(id);
  if (id < 0 || families.isEmpty()) {
    std::fprintf(stderr, "swfgen: cannot load the font %s\n", argv[2]);
    return 1;
  }
  QFont font(families.first());
  font.setPixelSize(100);
  font.setBold(true);
  font.setHintingPreference(QFont::PreferNoHinting);
  QFont small = font;
  small.setBold(false);
  small.setLetterSpacing(QFont::AbsoluteSpacing, 12);
  try {
    const std::string movie = varnokel::swf::BuildCoverMovie(
        TextOutline(QStringLiteral("Varnokel Stats"), font),
        TextOutline(QStringLiteral("SKILL  WAFFEN  SESSIONS"), small));
    varnokel::WriteFileAtomic(argv[1], movie);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "swfgen: %s\n", e.what());
    return 1;
  }
  return 0;
}
