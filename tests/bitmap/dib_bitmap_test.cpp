#include "skin/core/dib_bitmap.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/file_io.h"

namespace {

namespace fs = std::filesystem;

void Put16(std::string& s, std::uint32_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Put32(std::string& s, std::uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

struct BmpLayout {
  std::int32_t width = 1;
  std::int32_t height = 1;
  int bits = 24;
  std::int32_t clrUsed = 0;
  std::int32_t headerSize = 40;
  std::vector<std::uint32_t> colors;  // 0x00RRGGBB
  std::string pixels;                 // padded rows, bottom row first
  std::int64_t fileSize = -1;         // -1: the true size
  std::int64_t pixelOffset = -1;      // -1: right after the colour table
};

// A BMP file laid out by hand, independently of the writer under test.
std::string MakeBmp(const BmpLayout& layout) {
  std::string info;
  Put32(info, static_cast<std::uint32_t>(layout.headerSize));
  Put32(info, static_cast<std::uint32_t>(layout.width));
  Put32(info, static_cast<std::uint32_t>(layout.height));
  Put16(info, 1);
  Put16(info, static_cast<std::uint32_t>(layout.bits));
  Put32(info, 0);
  Put32(info, static_cast<std::uint32_t>(layout.pixels.size()));  // image size
  Put32(info, 2835);
  Put32(info, 2835);
  Put32(info, static_cast<std::uint32_t>(layout.clrUsed));
  Put32(info, 0);
  for (std::uint32_t c : layout.colors) Put32(info, c);
  const std::uint32_t offset = layout.pixelOffset >= 0
                                   ? static_cast<std::uint32_t>(layout.pixelOffset)
                                   : static_cast<std::uint32_t>(14 + info.size());
  const std::uint32_t total = static_cast<std::uint32_t>(14 + info.size() + layout.pixels.size());
  std::string file = "BM";
  Put32(file, layout.fileSize >= 0 ? static_cast<std::uint32_t>(layout.fileSize) : total);
  Put32(file, 0);
  Put32(file, offset);
  return file + info + layout.pixels;
}

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

std::vector<std::uint32_t> Grey(int count) {
  std::vector<std::uint32_t> colors;
  for (int i = 0; i < count; ++i) {
    const std::uint32_t v = static_cast<std::uint32_t>(i * 255 / std::max(1, count - 1));
    colors.push_back((v << 16) | ((255 - v) << 8) | (i & 0xFF));
  }
  return colors;
}

std::int64_t PaddedRow(int bits, int width) {
  return ((bits * width + 7) / 8 + 3) / 4 * 4;
}

class DIBitmapTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("varnokel_bitmap_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    previous_ = SetBitmapDiagnosticsHook([this](const std::string& m) { messages_.push_back(m); });
  }
  void TearDown() override {
    SetBitmapDiagnosticsHook(previous_);
    fs::remove_all(dir_);
  }

  fs::path WriteFile(const std::string& name, const std::string& bytes) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  bool ReadBytes(CDIBitmap& bitmap, const std::string& bytes) {
    std::istringstream in(bytes, std::ios::binary);
    return bitmap.Read(in);
  }

  std::string LastMessage() const { return messages_.empty() ? "" : messages_.back(); }

  fs::path dir_;
  std::vector<std::string> messages_;
  BitmapDiagnosticsHook previous_;
};

// Reads a hand-made file of each depth, checks what was read, writes it back
// and compares the bytes: only the header's image size changes (to 0).
TEST_F(DIBitmapTest, RoundTripOfEachDepth) {
  struct Case {
    int bits, width, height, colors;
  };
  for (const Case c :
       {Case{1, 13, 5, 2}, Case{4, 7, 3, 16}, Case{8, 5, 4, 256}, Case{24, 3, 2, 0}}) {
    SCOPED_TRACE(c.bits);
    BmpLayout layout;
    layout.bits = c.bits;
    layout.width = c.width;
    layout.height = c.height;
    layout.colors = Grey(c.colors);
    layout.pixels = RandomBytes(static_cast<std::size_t>(PaddedRow(c.bits, c.width) * c.height),
                                static_cast<unsigned>(c.bits));
    const std::string original = MakeBmp(layout);
    const fs::path in = WriteFile("in.bmp", original);

    CDIBitmap bitmap;
    ASSERT_TRUE(bitmap.Load(in));
    EXPECT_EQ(bitmap.GetWidth(), c.width);
    EXPECT_EQ(bitmap.GetHeight(), c.height);
    EXPECT_EQ(bitmap.GetBitsPerPixel(), c.bits);
    EXPECT_TRUE(bitmap.IsPadded());
    EXPECT_EQ(bitmap.GetHeader()->sizeImage, static_cast<std::int32_t>(layout.pixels.size()));
    ASSERT_NE(bitmap.GetPixels(), nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bitmap.GetPixels()), layout.pixels.size()),
              layout.pixels);
    if (c.colors > 0) {
      EXPECT_EQ(bitmap.GetColorCount(), c.colors);
      const RgbQuad last = bitmap.GetColorTable()[c.colors - 1];
      EXPECT_EQ(last.blue, layout.colors.back() & 0xFF);
      EXPECT_EQ(last.green, (layout.colors.back() >> 8) & 0xFF);
      EXPECT_EQ(last.red, (layout.colors.back() >> 16) & 0xFF);
    }

    const fs::path out = dir_ / "out.bmp";
    ASSERT_TRUE(bitmap.Save(out));
    std::string expected = original;
    expected.replace(14 + 20, 4, std::string(4, '\0'));
    EXPECT_EQ(varnokel::ReadFileBytes(out), expected);
    EXPECT_EQ(bitmap.GetHeader()->sizeImage, 0);
  }
  EXPECT_TRUE(messages_.empty());
}

TEST_F(DIBitmapTest, PaletteFollowsTheColourTable) {
  BmpLayout eight;
  eight.bits = 8;
  eight.width = 4;
  eight.colors = Grey(256);
  eight.pixels = std::string(4, '\x07');
  CDIBitmap bitmap;
  ASSERT_TRUE(ReadBytes(bitmap, MakeBmp(eight)));
  ASSERT_NE(bitmap.GetPalette(), nullptr);
  EXPECT_EQ(bitmap.GetPalette()->version(), 0x300);
  ASSERT_EQ(bitmap.GetPalette()->entries().size(), 256u);
  const PaletteEntry e = bitmap.GetPalette()->entries()[200];
  EXPECT_EQ(e.red, (eight.colors[200] >> 16) & 0xFF);
  EXPECT_EQ(e.green, (eight.colors[200] >> 8) & 0xFF);
  EXPECT_EQ(e.blue, eight.colors[200] & 0xFF);
  EXPECT_EQ(e.flags, 0);

  // A used-colour count limits the palette.
  BmpLayout few = eight;
  few.clrUsed = 3;
  few.colors = Grey(3);
  ASSERT_TRUE(ReadBytes(bitmap, MakeBmp(few)));
  EXPECT_EQ(bitmap.GetPalette()->entries().size(), 3u);
  EXPECT_EQ(bitmap.GetColorTableEntries(), 3);

  BmpLayout rgb;
  rgb.pixels = std::string(4, '\0');
  ASSERT_TRUE(ReadBytes(bitmap, MakeBmp(rgb)));
  EXPECT_EQ(bitmap.GetPalette(), nullptr);
  EXPECT_EQ(bitmap.GetColorTableEntries(), 0);
  EXPECT_EQ(bitmap.GetColorCount(), std::int64_t{1} << 24);
}

// The colour table is read as 256 entries whatever the depth: here it takes
// in the pixel bytes and the rest of it stays zero.
TEST_F(DIBitmapTest, ColourTableIsReadWhole) {
  BmpLayout layout;
  layout.bits = 1;
  layout.width = 8;
  layout.colors = {0x000000, 0xFFFFFF};
  layout.pixels = std::string("\xA5\x01\x02\x03", 4);
  CDIBitmap bitmap;
  ASSERT_TRUE(ReadBytes(bitmap, MakeBmp(layout)));
  const RgbQuad* table = bitmap.GetColorTable();
  EXPECT_EQ(table[1].red, 0xFF);
  EXPECT_EQ(table[2].blue, 0xA5);
  EXPECT_EQ(table[2].reserved, 0x03);
  EXPECT_EQ(table[3].blue, 0);
  EXPECT_EQ(table[255].red, 0);
  EXPECT_EQ(bitmap.GetPixels()[0], 0xA5);
}

TEST_F(DIBitmapTest, RowLengthsAndPadding) {
  BitmapInfoHeader h;
  h.size = 40;
  h.width = 1;
  h.height = 3;
  h.planes = 1;
  h.bitCount = 24;
  // Three unpadded rows of one pixel: 9 bytes.
  const std::vector<std::uint8_t> rows = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  CDIBitmap bitmap;
  ASSERT_TRUE(bitmap.Create(h, {}, rows, false));
  EXPECT_EQ(bitmap.UnpaddedRowLength(), 3);
  EXPECT_EQ(bitmap.PaddedRowLength(), 4);
  EXPECT_FALSE(bitmap.IsPadded());

  bitmap.PadBits();
  EXPECT_TRUE(bitmap.IsPadded());
  const std::uint8_t* p = bitmap.GetPixels();
  EXPECT_EQ((std::vector<std::uint8_t>{p[0], p[1], p[2]}), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ((std::vector<std::uint8_t>{p[4], p[5], p[6]}), (std::vector<std::uint8_t>{4, 5, 6}));
  EXPECT_EQ((std::vector<std::uint8_t>{p[8], p[9], p[10]}), (std::vector<std::uint8_t>{7, 8, 9}));
  bitmap.PadBits();  // already padded: nothing moves
  EXPECT_EQ(p[8], 7);

  bitmap.UnPadBits();
  EXPECT_FALSE(bitmap.IsPadded());
  EXPECT_EQ(std::vector<std::uint8_t>(p, p + 9), rows);

  // Writing pads the rows; writing again must give the same file.
  std::ostringstream first(std::ios::binary), second(std::ios::binary);
  ASSERT_TRUE(bitmap.Write(first));
  ASSERT_TRUE(bitmap.Write(second));
  EXPECT_EQ(first.str(), second.str());
  ASSERT_EQ(first.str().size(), 14u + 40u + 12u);
  EXPECT_EQ(first.str().substr(54, 3), "\x01\x02\x03");
  EXPECT_EQ(first.str().substr(58, 3), "\x04\x05\x06");
  EXPECT_EQ(first.str().substr(62, 3), "\x07\x08\x09");
}

TEST_F(DIBitmapTest, WrittenHeaderFields) {
  BitmapInfoHeader h;
  h.size = 40;
  h.width = 3;
  h.height = 2;
  h.planes = 1;
  h.bitCount = 4;
  h.sizeImage = 99;
  CDIBitmap bitmap;
  ASSERT_TRUE(bitmap.Create(h, std::vector<RgbQuad>(16), std::vector<std::uint8_t>(8, 0x12), true));
  std::ostringstream out(std::ios::binary);
  ASSERT_TRUE(bitmap.Write(out));
  const std::string s = out.str();
  auto u32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(s[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 3])) << 24;
  };
  EXPECT_EQ(s.substr(0, 2), "BM");
  EXPECT_EQ(u32(2), 14u + 40u + 64u + 8u);  // file size
  EXPECT_EQ(u32(6), 0u);                    // reserved words
  EXPECT_EQ(u32(10), 14u + 40u + 64u);      // pixel offset
  EXPECT_EQ(u32(14 + 20), 0u);              // image size
  EXPECT_EQ(s.size(), u32(2));

  CDIBitmap empty;
  std::ostringstream nothing;
  EXPECT_FALSE(empty.Write(nothing));
}

// A file shorter than it says: the missing pixel bytes are zero, no failure.
TEST_F(DIBitmapTest, TruncatedFileLeavesMissingPixelsZero) {
  BmpLayout layout;
  layout.width = 4;
  layout.height = 4;
  layout.pixels = std::string(48, '\x7F');
  std::string bytes = MakeBmp(layout);
  bytes.resize(bytes.size() - 20);
  CDIBitmap bitmap;
  ASSERT_TRUE(ReadBytes(bitmap, bytes));
  ASSERT_EQ(bitmap.GetPixelBytes(), 48u);
  EXPECT_EQ(bitmap.GetPixels()[27], 0x7F);
  EXPECT_EQ(bitmap.GetPixels()[28], 0);
  EXPECT_EQ(bitmap.GetPixels()[47], 0);
  EXPECT_TRUE(messages_.empty());

  // A declared size beyond the picture reads no more than the picture.
  BmpLayout larger = layout;
  larger.fileSize = 0x7FFFFFFF;
  ASSERT_TRUE(ReadBytes(bitmap, MakeBmp(larger)));
  EXPECT_EQ(bitmap.GetPixelBytes(), 48u);
}

TEST_F(DIBitmapTest, RejectionsLeaveTheBitmapEmpty) {
  struct Case {
    const char* what;
    std::string bytes;
    std::string message;
  };
  BmpLayout good;
  good.width = 2;
  good.height = 2;
  good.pixels = std::string(16, '\x01');
  auto with = [&](auto change) {
    BmpLayout s = good;
    change(s);
    return MakeBmp(s);
  };
  std::string gif = MakeBmp(good);
  gif[0] = 'G';
  gif[1] = 'I';
  std::string shortInfo = MakeBmp(good).substr(0, 30);
  const std::vector<Case> cases = {
      {"not BM", gif, "Error:Unexpected file type, not a DIB\n"},
      {"empty file", "", "Error:Unexpected file type, not a DIB\n"},
      {"one byte", "B", "Error:Unexpected file type, not a DIB\n"},
      {"OS/2 header", with([](BmpLayout& s) { s.headerSize = 12; }),
       "Error:OS2 PM BMP Format not supported\n"},
      {"V5 header", with([](BmpLayout& s) { s.headerSize = 124; }),
       "Error:OS2 PM BMP Format not supported\n"},
      {"only the file header", MakeBmp(good).substr(0, 14),
       "Error:Information header incomplete\n"},
      {"cut in the file header", "BM\x10\0\0", "Error:File header incomplete\n"},
      {"cut in the info header", shortInfo, "Error:Information header incomplete\n"},
      {"negative width", with([](BmpLayout& s) { s.width = -2; }),
       "Error:Bitmap dimensions not supported\n"},
      {"negative height", with([](BmpLayout& s) { s.height = -2; }),
       "Error:Bitmap dimensions not supported\n"},
      {"zero width", with([](BmpLayout& s) { s.width = 0; }),
       "Error:Bitmap dimensions not supported\n"},
      {"huge", with([](BmpLayout& s) { s.width = s.height = 0x7FFFFFFF; }),
       "Error:Bitmap dimensions not supported\n"},
      {"huge rows", with([](BmpLayout& s) { s.width = 40000, s.height = 40000; }),
       "Error:Bitmap dimensions not supported\n"},
      {"depth 7", with([](BmpLayout& s) { s.bits = 7; }), "Error:Bit depth not supported\n"},
      {"depth 0", with([](BmpLayout& s) { s.bits = 0; }), "Error:Bit depth not supported\n"},
      {"too many colours", with([](BmpLayout& s) { s.clrUsed = 257; }),
       "Error:Colour count not supported\n"},
      {"negative colours", with([](BmpLayout& s) { s.clrUsed = -1; }),
       "Error:Colour count not supported\n"},
      {"offset past the end", with([](BmpLayout& s) { s.pixelOffset = 0x7FFFFFF0; }),
       "Error:Pixel data offset past the end of the file\n"},
      {"offset far past the end", with([](BmpLayout& s) { s.pixelOffset = 0xFFFFFFFF; }),
       "Error:Pixel data offset past the end of the file\n"},
      {"size below the offset", with([](BmpLayout& s) { s.fileSize = 10; }),
       "Error:File size smaller than pixel data offset\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CDIBitmap bitmap;
    ASSERT_TRUE(ReadBytes(bitmap, MakeBmp(good)));
    messages_.clear();
    EXPECT_FALSE(ReadBytes(bitmap, c.bytes));
    EXPECT_TRUE(bitmap.IsEmpty());
    EXPECT_EQ(bitmap.GetPixels(), nullptr);
    EXPECT_EQ(bitmap.GetPalette(), nullptr);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], c.message);
  }
}

TEST_F(DIBitmapTest, LoadAndSaveFailures) {
  BmpLayout layout;
  layout.pixels = std::string(4, '\x33');
  CDIBitmap bitmap;
  ASSERT_TRUE(bitmap.Load(WriteFile("a.bmp", MakeBmp(layout))));

  // A file that cannot be opened keeps the picture, without a message.
  EXPECT_FALSE(bitmap.Load(dir_ / "missing.bmp"));
  EXPECT_FALSE(bitmap.IsEmpty());
  EXPECT_EQ(bitmap.GetPixels()[0], 0x33);
  EXPECT_TRUE(messages_.empty());

  // So does a named pipe, at once, instead of waiting for a writer.
  ASSERT_EQ(::mkfifo((dir_ / "pipe.bmp").c_str(), 0644), 0);
  EXPECT_FALSE(bitmap.Load(dir_ / "pipe.bmp"));
  EXPECT_FALSE(bitmap.IsEmpty());

  // A file that is there but not a BMP empties it.
  EXPECT_FALSE(bitmap.Load(WriteFile("b.bmp", "plain text")));
  EXPECT_TRUE(bitmap.IsEmpty());

  ASSERT_TRUE(bitmap.Load(dir_ / "a.bmp"));
  const fs::path nowhere = dir_ / "no such folder" / "c.bmp";
  EXPECT_FALSE(bitmap.Save(nowhere));
  EXPECT_EQ(LastMessage(),
            "CDIBitmap::Save(): Failed to open file " + nowhere.string() + " for writing.\n");
  EXPECT_FALSE(fs::exists(nowhere));

  // Saving over an existing file replaces it.
  const fs::path target = WriteFile("d.bmp", std::string(500, 'x'));
  ASSERT_TRUE(bitmap.Save(target));
  EXPECT_EQ(fs::file_size(target), 14u + 40u + 4u);
}

TEST_F(DIBitmapTest, ReadsFromTheStreamPosition) {
  BmpLayout layout;
  layout.width = 2;
  layout.pixels = std::string("\x01\x02\x03\x04\x05\x06\0\0", 8);
  std::istringstream in("PREFIX" + MakeBmp(layout), std::ios::binary);
  in.seekg(6);
  CDIBitmap bitmap;
  ASSERT_TRUE(bitmap.Read(in));
  EXPECT_EQ(bitmap.GetPixels()[5], 0x06);
}

}  // namespace
