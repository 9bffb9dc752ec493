#include "app/dialog_units.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QString>
#include <QStringList>

namespace {

constexpr char kFontFamily[] = "Liberation Sans";
constexpr char kFontFile[] = "/fonts/LiberationSans-Regular.ttf";
constexpr int kFontPixels = 10;

// Rounded integer a * b / c, as the conversion of dialog templates does it.
int MulDivRounded(int a, int b, int c) {
  return (a * b + (a >= 0 ? c / 2 : -c / 2)) / c;
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  average_char_width_ = (letters / 26 + 1) / 2;
  char_height_ = metrics.height();
}

int DialogUnits::ToPixelsX(int units) const {
  return MulDivRounded(units, average_char_width_, 4);
}

int DialogUnits::ToPixelsY(int units) const {
  return MulDivRounded(units, char_height_, 8);
}

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const {
  return QRect(ToPixelsX(x), ToPixelsY(y), ToPixelsX(width), ToPixelsY(height));
}

QFont DialogFont(const std::filesystem::path& program_dir) {
  // The shipped file is registered once per process; later windows reuse it.
  static QString loaded_family;
  if (loaded_family.isEmpty()) {
    const QString file = QString::fromStdString(program_dir.string() + kFontFile);
    const int id = QFontDatabase::addApplicationFont(file);
    if (id >= 0 && !QFontDatabase::applicationFontFamilies(id).isEmpty())
      loaded_family = QFontDatabase::applicationFontFamilies(id).first();
  }
  const QString family = loaded_family.isEmpty() ? QString::fromLatin1(kFontFamily) : loaded_family;
  QFont font(family);
  font.setPixelSize(kFontPixels);
  font.setStyleHint(QFont::SansSerif);
  font.setHintingPreference(QFont::PreferNoHinting);  // the same advances everywhere
  return font;
}
