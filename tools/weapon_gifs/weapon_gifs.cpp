// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the 24 weapon images of the statistics site: simple side-view
// silhouettes on a transparent ground, all 48 x 16 pixels, written as GIF
// files named after the weapons ("usp.gif" ... "grenade.gif").
//
//   draw_weapon_gifs OUTPUT_FOLDER
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 48;
constexpr int kHeight = 16;

// Palette: 0 transparent ground, 1 body, 2 dark parts, 3 highlight.
enum Ink : uint8_t { kGround = 0, kBody = 1, kDark = 2, kLight = 3 };

class Canvas {
 public:
  Canvas() : pixels_(kWidth * kHeight, kGround) {}

  void Rect(int x, int y, int w, int h, Ink ink) {
    for (int j = y; j < y + h; ++j)
      for (int i = x; i < x + w; ++i) Set(i, j, ink);
  }
  // A parallelogram leaning back by `lean` pixels over its height (grips).
  void Slant(int x, int y, int w, int h, int lean, Ink ink) {
    for (int j = 0; j < h; ++j) Rect(x - lean * j / (h > 1 ? h - 1 : 1), y + j, w, 1, ink);
  }
  void Disc(int cx, int cy, int r, Ink ink) {
    for (int j = -r; j <= r; ++j)
      for (int i = -r; i <= r; ++i)
        if (i * i + j * j <= r * r + r / 2) Set(cx + i, cy + j, ink);
  }
  void Set(int x, int y, Ink ink) {
    if (x >= 0 && x < kWidth && y >= 0 && y < kHeight) pixels_[y * kWidth + x] = ink;
  }
  const std::vector<uint8_t>& pixels() const { return pixels_; }

 private:
  std::vector<uint8_t> pixels_;
};

// The parts every firearm is drawn from; lengths in pixels.
struct Gun {
  int barrel;    // length of the barrel in front of the body
  int body;      // receiver length
  int stock;     // 0 for a pistol
  int magazine;  // magazine depth below the body, 0 for none
  bool scope;
  bool curved_mag;
  bool pump;  // fore-end under the barrel
};

void DrawPistol(Canvas& c, int slide, bool thick) {
  const int x = 24 - slide / 2;
  c.Rect(x, 4, slide, thick ? 4 : 3, kBody);
  c.Rect(x + slide, 5, 2, 1, kDark);  // muzzle
  c.Slant(x + 2, thick ? 8 : 7, 4, 6, 2, kBody);
  c.Rect(x + 6, thick ? 8 : 7, 3, 2, kDark);  // trigger guard
  c.Rect(x + 1, 4, slide - 2, 1, kLight);
}

void DrawGun(Canvas& c, const Gun& g) {
  const int total = g.stock + g.body + g.barrel;
  int x = (kWidth - total) / 2;
  if (g.stock > 0) {
    c.Rect(x, 6, g.stock, 4, kBody);
    c.Rect(x, 5, 2, 6, kBody);
    x += g.stock;
  }
  c.Rect(x, 4, g.body, 5, kBody);
  c.Rect(x + 1, 4, g.body - 2, 1, kLight);
  c.Slant(x + 3, 9, 3, 5, 1, kBody);  // grip
  c.Rect(x + 6, 9, 3, 2, kDark);      // trigger guard
  if (g.magazine > 0) {
    if (g.curved_mag) {
      for (int j = 0; j < g.magazine; ++j) c.Rect(x + g.body - 5 + j / 2, 9 + j, 3, 1, kDark);
    } else {
      c.Rect(x + g.body - 5, 9, 3, g.magazine, kDark);
    }
  }
  if (g.scope) {
    c.Rect(x + 2, 1, g.body - 2, 2, kDark);
    c.Rect(x + 4, 3, 2, 1, kDark);
    c.Rect(x + g.body - 4, 3, 2, 1, kDark);
  }
  c.Rect(x + g.body, 5, g.barrel, 2, kBody);
  if (g.pump) c.Rect(x + g.body + 1, 7, g.barrel / 2, 2, kDark);
  c.Rect(x + g.body + g.barrel - 1, 4, 1, 1, kBody);  // front sight
}

void DrawKnife(Canvas& c) {
  c.Rect(8, 7, 10, 3, kDark);  // handle
  c.Rect(18, 5, 2, 7, kBody);  // guard
  for (int i = 0; i < 22; ++i) c.Rect(20 + i, 6, 1, i < 16 ? 3 : 3 - (i - 15) / 2, kBody);
  c.Rect(20, 6, 18, 1, kLight);
}

void DrawGrenade(Canvas& c) {
  c.Disc(24, 9, 5, kBody);
  c.Rect(21, 8, 6, 1, kDark);
  c.Rect(21, 11, 6, 1, kDark);
  c.Rect(22, 2, 4, 2, kDark);  // fuse
  c.Rect(26, 2, 5, 1, kDark);  // lever
  c.Disc(20, 2, 1, kLight);    // ring
}

Canvas Draw(const std::string& name) {
  Canvas c;
  // clang-format off
  if (name == "usp") DrawPistol(c, 14, false);
  else if (name == "glock18") DrawPistol(c, 13, false);
  else if (name == "deagle") DrawPistol(c, 18, true);
  else if (name == "p228") DrawPistol(c, 12, false);
  else if (name == "fiveseven") DrawPistol(c, 15, false);
  else if (name == "dualbaretta") { DrawPistol(c, 12, false); Canvas second; (void)second;
    c.Rect(14, 2, 12, 2, kDark); c.Rect(15, 4, 3, 3, kDark); }
  else if (name == "m3") DrawGun(c, {16, 10, 10, 0, false, false, true});
  else if (name == "xm1014") DrawGun(c, {15, 11, 10, 0, false, false, false});
  else if (name == "mp5navy") DrawGun(c, {6, 14, 7, 5, false, true, false});
  else if (name == "tmp") DrawGun(c, {8, 12, 0, 5, false, false, false});
  else if (name == "p90") DrawGun(c, {4, 20, 6, 0, true, false, false});
  else if (name == "mac10") DrawGun(c, {4, 11, 0, 5, false, false, false});
  else if (name == "ump45") DrawGun(c, {6, 14, 9, 5, false, false, false});
  else if (name == "ak47") DrawGun(c, {14, 12, 11, 5, false, true, false});
  else if (name == "sg552") DrawGun(c, {10, 13, 10, 5, true, true, false});
  else if (name == "m4a1") DrawGun(c, {14, 12, 10, 5, false, false, false});
  else if (name == "aug") DrawGun(c, {10, 16, 6, 4, true, false, false});
  else if (name == "scout") DrawGun(c, {18, 10, 12, 0, true, false, false});
  else if (name == "awp") DrawGun(c, {18, 12, 12, 3, true, false, false});
  else if (name == "g3") DrawGun(c, {14, 12, 12, 5, true, false, false});
  else if (name == "sg550") DrawGun(c, {16, 12, 12, 4, true, true, false});
  else if (name == "para") DrawGun(c, {12, 16, 10, 4, false, false, true});
  else if (name == "knife") DrawKnife(c);
  else if (name == "grenade") DrawGrenade(c);
  // clang-format on
  return c;
}

// LZW data for 8-bit codes without ever growing the code width: a clear code
// is sent before the table could reach 256 entries, so every code is 8 bits.
std::vector<uint8_t> LzwUncompressed(const std::vector<uint8_t>& pixels) {
  constexpr int kMinCodeSize = 7;
  constexpr int kClear = 1 << kMinCodeSize, kEnd = kClear + 1;
  std::vector<uint8_t> codes;
  codes.push_back(kClear);
  int since_clear = 0;
  for (uint8_t p : pixels) {
    if (since_clear == 100) {
      codes.push_back(kClear);
      since_clear = 0;
    }
    codes.push_back(p);
    ++since_clear;
  }
  codes.push_back(kEnd);
  return codes;  // with 8-bit codes every code is exactly one byte
}

void WriteGif(const std::filesystem::path& file, const Canvas& canvas) {
  std::vector<uint8_t> out;
  auto put16 = [&](int v) {
    out.push_back(static_cast<uint8_t>(v & 0xff));
    out.push_back(static_cast<uint8_t>(v >> 8));
  };
  const std::string signature = "GIF89a";
  out.insert(out.end(), signature.begin(), signature.end());
  put16(kWidth);
  put16(kHeight);
  out.push_back(0xF6);  // global colour table of 128 entries, 7 bits of colour
  out.push_back(0);     // background index
  out.push_back(0);
  const uint8_t palette[4][3] = {
      {0, 0, 0}, {0xc8, 0xcc, 0xd2}, {0x70, 0x78, 0x84}, {0xf0, 0xf2, 0xf5}};
  for (int i = 0; i < 128; ++i)
    for (int k = 0; k < 3; ++k) out.push_back(i < 4 ? palette[i][k] : 0);
  // Graphic control extension: index 0 is transparent.
  const uint8_t control[] = {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00};
  out.insert(out.end(), std::begin(control), std::end(control));
  out.push_back(0x2C);
  put16(0);
  put16(0);
  put16(kWidth);
  put16(kHeight);
  out.push_back(0);
  out.push_back(7);  // LZW minimum code size
  const std::vector<uint8_t> data = LzwUncompressed(canvas.pixels());
  for (size_t at = 0; at < data.size(); at += 255) {
    const size_t n = std::min<size_t>(255, data.size() - at);
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
               data.begin() + static_cast<std::ptrdiff_t>(at + n));
  }
  out.push_back(0);
  out.push_back(0x3B);
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: draw_weapon_gifs OUTPUT_FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  for (const char* name :
       {"usp",     "glock18", "deagle", "p228",  "dualbaretta", "fiveseven", "m3",    "xm1014",
        "mp5navy", "tmp",     "p90",    "mac10", "ump45",       "ak47",      "sg552", "m4a1",
        "aug",     "scout",   "awp",    "g3",    "sg550",       "para",      "knife", "grenade"})
    WriteGif(folder / (std::string(name) + ".gif"), Draw(name));
  return 0;
}
