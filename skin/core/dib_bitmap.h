// SPDX-License-Identifier: GPL-3.0-or-later
// A picture in the device-independent bitmap layout: a 40-byte information
// header, a colour table and the pixel rows, bottom row first. Reads and
// writes BMP files; drawing lives in the Qt layer (skin/dib_draw.h).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

// The BMP information header (BITMAPINFOHEADER), 40 bytes little-endian on disk.
struct BitmapInfoHeader {
  std::int32_t size = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint16_t planes = 0;
  std::uint16_t bitCount = 0;
  std::int32_t compression = 0;
  std::int32_t sizeImage = 0;
  std::int32_t xPelsPerMeter = 0;
  std::int32_t yPelsPerMeter = 0;
  std::int32_t clrUsed = 0;
  std::int32_t clrImportant = 0;
};

// One colour-table entry as stored in the file: blue, green, red, 0.
struct RgbQuad {
  std::uint8_t blue = 0;
  std::uint8_t green = 0;
  std::uint8_t red = 0;
  std::uint8_t reserved = 0;
};

// One palette entry (red, green, blue, flags).
struct PaletteEntry {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  std::uint8_t flags = 0;
};

class CDIBitmap;

// The palette of a picture of at most 8 bits per pixel: one entry per colour
// of the colour count, taken from the colour table.
class CDIBPalette {
 public:
  static constexpr std::uint16_t kVersion = 0x300;

  explicit CDIBPalette(const CDIBitmap& bitmap);

  std::uint16_t version() const { return kVersion; }
  const std::vector<PaletteEntry>& entries() const { return entries_; }

 private:
  std::vector<PaletteEntry> entries_;
};

// Receives the developer diagnostics of bitmap reading and writing (texts end
// in "\n"). The default writes them to stderr in debug builds and drops them
// otherwise; they are never meant for the user. Returns the previous hook.
using BitmapDiagnosticsHook = std::function<void(const std::string& message)>;
BitmapDiagnosticsHook SetBitmapDiagnosticsHook(BitmapDiagnosticsHook hook);

class CDIBitmap {
 public:
  static constexpr int kFileHeaderSize = 14;
  static constexpr int kInfoHeaderSize = 40;
  static constexpr int kMaxColorEntries = 256;
  // Largest pixel block a file may declare (padded rows × height). Keeps a
  // hostile header from asking for gigabytes.
  static constexpr std::int64_t kMaxPixelBytes = std::int64_t{256} << 20;

  CDIBitmap() = default;
  CDIBitmap(const CDIBitmap&) = delete;
  CDIBitmap& operator=(const CDIBitmap&) = delete;
  virtual ~CDIBitmap();

  // Opens the file and reads it. False when it cannot be opened (the bitmap
  // is then left as it was) or is not a readable BMP (the bitmap is empty).
  virtual bool Load(const std::filesystem::path& fileName);
  // Reads a BMP from the stream's current position. True on success; on
  // failure the bitmap is empty and a diagnostic names the reason.
  virtual bool Read(std::istream& file);
  // Writes the picture as a BMP file (replacing any existing file). False
  // with a diagnostic when the file cannot be written.
  virtual bool Save(const std::filesystem::path& fileName);
  // Writes the picture as a BMP to the stream. Pads the rows first and sets
  // the header's image size to 0.
  virtual bool Write(std::ostream& file);

  // Makes a picture from a header, colour table and pixel rows (bottom row
  // first). `pixels` must hold `height` rows of the padded row length when
  // `padded`, of the unpadded length otherwise. False (bitmap empty) when the
  // header's dimensions or depth are not usable.
  bool Create(const BitmapInfoHeader& header, const std::vector<RgbQuad>& colors,
              const std::vector<std::uint8_t>& pixels, bool padded);

  // Moves the rows apart to the padded row length (no-op when padded).
  void PadBits();
  // Moves the rows together to the unpadded row length (no-op when unpadded).
  void UnPadBits();
  // Rebuilds the palette from the colour table (none above 8 bits per pixel).
  void CreatePalette();
  // Frees header, colour table, pixels and palette.
  void Empty();

  bool IsEmpty() const { return info_ == nullptr; }
  bool IsPadded() const { return padded_; }

  const BitmapInfoHeader* GetHeader() const;
  BitmapInfoHeader* GetHeader();
  // The colour table (room for 256 entries after reading).
  const RgbQuad* GetColorTable() const;
  // The pixel rows, bottom row first; nullptr when there are none.
  const std::uint8_t* GetPixels() const;
  std::uint8_t* GetPixels();
  std::size_t GetPixelBytes() const { return pixelBytes_.size(); }
  int GetWidth() const;
  int GetHeight() const;
  int GetBitsPerPixel() const;
  // The used-colour count when set, else 2 to the bits per pixel.
  std::int64_t GetColorCount() const;
  // Entries of the colour table stored in a file.
  int GetColorTableEntries() const;
  const CDIBPalette* GetPalette() const { return palette_.get(); }

  std::int64_t UnpaddedRowLength() const;
  std::int64_t PaddedRowLength() const;

 private:
  // Information header and colour table as one block, like the file layout.
  struct Info {
    BitmapInfoHeader header;
    std::array<RgbQuad, kMaxColorEntries> colors{};
  };

  std::unique_ptr<Info> info_;
  std::vector<std::uint8_t> pixelBytes_;
  std::unique_ptr<CDIBPalette> palette_;
  bool padded_ = false;
};

// Sends a diagnostic to the current hook.
void BitmapDiagnostic(const std::string& message);
