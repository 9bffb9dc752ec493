#include "report/colour_settings.h"

#include <cstdio>

#include "base/file_io.h"
#include "base/text_lines.h"

namespace varnokel {

namespace {

// Positions in ColourSet (the order of "color.no").
enum Colour {
  kBackground = 0,
  kLines,
  kCell1,
  kCell2,
  kCell3,
  kFrame,
  kText,
  kHeading,
  kLink,
  kLinkHover,
  kBar,
  kBarGround
};

}  // namespace

std::string StyleSheetText(const ColourSet& c) {
  std::string css;
  css.reserve(700);
  // clang-format off
  css += ".tbody { background-color: "; css += c[kBackground];
  css += "; }.linecolor { color: "; css += c[kLines];
  css += "; }.color1 { background-color: "; css += c[kCell1];
  css += "; }.color2 { background-color: "; css += c[kCell2];
  css += "; }.color3 { background-color: "; css += c[kCell3];
  css += "; }.color4 { background-color: "; css += c[kFrame];
  css += "; }.color5 { background-color: "; css += c[kBar];
  css += "; }.color6 { background-color: "; css += c[kBarGround];
  css += "; }.text { font-family: arial; font-size: 10px; color: "; css += c[kText];
  css += "; }.ueberschrift { font-family: arial; font-size: 16px; color: "; css += c[kHeading];
  css += "; }a { color: "; css += c[kLink];
  css += "; text-decoration: none;}a:hover { color: "; css += c[kLinkHover];
  css += "; text-decoration: none; }";
  // clang-format on
  return css;
}

std::string FormatColourFile(const ColourSet& colours) {
  std::string bytes;
  for (int i = 0; i < kColourCount; ++i) {
    if (i > 0) bytes += "\r\n";
    bytes += colours[i];
  }
  return bytes;
}

ColourSet ReadColourFile(const std::filesystem::path& file) {
  const std::vector<std::string> lines = SplitLines(ReadFileText(file));
  ColourSet colours;
  for (size_t i = 0; i < lines.size() && i < colours.size(); ++i) colours[i] = lines[i];
  return colours;
}

void RefreshStyleFiles(const std::filesystem::path& program_dir, const ColourSet& colours,
                       const std::function<void()>& navigate) {
  WriteFileAtomic(program_dir / "s_style.css", StyleSheetText(colours));
  if (navigate) navigate();
  WriteFileAtomic(program_dir / "color.no", FormatColourFile(colours));
}

std::string HtmlColour(int red, int green, int blue) {
  char text[16];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", red & 0xff, green & 0xff, blue & 0xff);
  return text;
}

}  // namespace varnokel
