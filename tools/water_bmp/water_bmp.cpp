// SPDX-License-Identifier: GPL-3.0-or-later
// Paints water.bmp, the main window's background: calm light-blue water with
// soft caustic ripples, light enough for dark label text. Written as an 8-bit
// BMP with a 256-colour table (a ramp from the water's deepest blue to its
// brightest highlight), so the picture goes through the palette path.
//
// Usage: draw_water_bmp OUTPUT.bmp
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "skin/core/dib_bitmap.h"

namespace {

constexpr int kWidth = 512;
constexpr int kHeight = 384;
constexpr double kTau = 6.283185307179586;

struct Rgb {
  double r, g, b;
};

// Deepest and brightest water colour; black text keeps a contrast ratio of
// more than 8:1 against the deepest one.
constexpr Rgb kDeep{118, 168, 208};
constexpr Rgb kBright{222, 240, 250};

// Brightness of the light pattern a rippled surface throws on the bottom,
// 0..1, tiling with the unit square (a few rounds of a distorted sine field).
double Caustic(double u, double v) {
  constexpr int kRounds = 5;
  constexpr double kTime = 2.7;
  constexpr double kInten = 0.005;
  const double px = std::fmod(u * kTau, kTau) - 250.0;
  const double py = std::fmod(v * kTau, kTau) - 250.0;
  double ix = px, iy = py, c = 1.0;
  for (int n = 0; n < kRounds; ++n) {
    const double t = kTime * (1.0 - 3.5 / (n + 1));
    const double nx = px + std::cos(t - ix) + std::sin(t + iy);
    const double ny = py + std::sin(t - iy) + std::cos(t + ix);
    ix = nx;
    iy = ny;
    const double dx = px / (std::sin(ix + t) / kInten);
    const double dy = py / (std::cos(iy + t) / kInten);
    c += 1.0 / std::sqrt(dx * dx + dy * dy);
  }
  c /= kRounds;
  c = 1.17 - std::pow(c, 1.4);
  return std::clamp(std::pow(std::abs(c), 8.0), 0.0, 1.0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: draw_water_bmp OUTPUT.bmp\n");
    return 2;
  }
  std::vector<RgbQuad> colors(256);
  for (int i = 0; i < 256; ++i) {
    const double f = i / 255.0;
    colors[i] =
        RgbQuad{static_cast<std::uint8_t>(std::lround(kDeep.b + (kBright.b - kDeep.b) * f)),
                static_cast<std::uint8_t>(std::lround(kDeep.g + (kBright.g - kDeep.g) * f)),
                static_cast<std::uint8_t>(std::lround(kDeep.r + (kBright.r - kDeep.r) * f)), 0};
  }

  // Rows bottom first; the water is a little brighter towards the top.
  const int rowLength = (kWidth + 3) / 4 * 4;
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(rowLength) * kHeight, 0);
  for (int y = 0; y < kHeight; ++y) {
    const double v = static_cast<double>(y) / kHeight;
    const double depth = 0.18 + 0.22 * (1.0 - v);  // top of the picture is y = 0
    for (int x = 0; x < kWidth; ++x) {
      const double u = static_cast<double>(x) / kWidth;
      // Two scales of ripples, the finer one fainter.
      const double light = 0.55 * Caustic(u, v) + 0.25 * Caustic(2 * u + 0.37, 2 * v + 0.61);
      const double level = std::clamp(depth + light, 0.0, 1.0);
      pixels[static_cast<std::size_t>(kHeight - 1 - y) * rowLength + x] =
          static_cast<std::uint8_t>(std::lround(level * 255));
    }
  }

  BitmapInfoHeader header;
  header.size = CDIBitmap::kInfoHeaderSize;
  header.width = kWidth;
  header.height = kHeight;
  header.planes = 1;
  header.bitCount = 8;
  header.xPelsPerMeter = header.yPelsPerMeter = 2835;  // 72 dpi
  CDIBitmap bitmap;
  if (!bitmap.Create(header, colors, pixels, true) || !bitmap.Save(argv[1])) {
    std::fprintf(stderr, "draw_water_bmp: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
