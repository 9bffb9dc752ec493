#include "skin/core/dib_bitmap.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <utility>

#include "base/file_io.h"

namespace {

constexpr std::uint16_t kBmpType = 0x4D42;  // "BM"

BitmapDiagnosticsHook& DiagnosticsHook() {
  static BitmapDiagnosticsHook hook;
  return hook;
}

std::uint16_t GetU16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t GetU32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::int32_t GetI32(const unsigned char* p) {
  return static_cast<std::int32_t>(GetU32(p));
}

void PutU16(std::string& out, std::uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}

void PutU32(std::string& out, std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void PutI32(std::string& out, std::int32_t v) {
  PutU32(out, static_cast<std::uint32_t>(v));
}

// Reads up to `count` bytes; returns how many arrived (0 at end of stream).
std::size_t ReadUpTo(std::istream& in, void* dest, std::size_t count) {
  if (count == 0 || !in) return 0;
  in.read(static_cast<char*>(dest), static_cast<std::streamsize>(count));
  return static_cast<std::size_t>(in.gcount());
}

BitmapInfoHeader ParseInfoHeader(const unsigned char* p) {
  BitmapInfoHeader h;
  h.size = GetI32(p);
  h.width = GetI32(p + 4);
  h.height = GetI32(p + 8);
  h.planes = GetU16(p + 12);
  h.bitCount = GetU16(p + 14);
  h.compression = GetI32(p + 16);
  h.sizeImage = GetI32(p + 20);
  h.xPelsPerMeter = GetI32(p + 24);
  h.yPelsPerMeter = GetI32(p + 28);
  h.clrUsed = GetI32(p + 32);
  h.clrImportant = GetI32(p + 36);
  return h;
}

std::int64_t UnpaddedLength(const BitmapInfoHeader& h) {
  return (std::int64_t{h.bitCount} * h.width + 7) / 8;
}

std::int64_t PaddedLength(const BitmapInfoHeader& h) {
  return (UnpaddedLength(h) + 3) / 4 * 4;
}

// The reason a header cannot be held safely, or nullptr when it can. Only
// bottom-up pictures of a known depth, with a colour table that fits the
// 256-entry block, and of a bounded size are accepted.
const char* HeaderProblem(const BitmapInfoHeader& h) {
  switch (h.bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    default:
      return "Error:Bit depth not supported\n";
  }
  if (h.width <= 0 || h.height <= 0) return "Error:Bitmap dimensions not supported\n";
  if (PaddedLength(h) > CDIBitmap::kMaxPixelBytes / h.height) {
    return "Error:Bitmap dimensions not supported\n";
  }
  if (h.clrUsed < 0 || h.clrUsed > CDIBitmap::kMaxColorEntries) {
    return "Error:Colour count not supported\n";
  }
  return nullptr;
}

}  // namespace

BitmapDiagnosticsHook SetBitmapDiagnosticsHook(BitmapDiagnosticsHook hook) {
  return std::exchange(DiagnosticsHook(), std::move(hook));
}

void BitmapDiagnostic(const std::string& message) {
  if (DiagnosticsHook()) {
    DiagnosticsHook()(message);
    return;
  }
#ifndef NDEBUG
  std::cerr << message;
#endif
}

CDIBPalette::CDIBPalette(const CDIBitmap& bitmap) {
  const auto count = static_cast<std::size_t>(
      std::min<std::int64_t>(bitmap.GetColorCount(), CDIBitmap::kMaxColorEntries));
  const RgbQuad* table = bitmap.GetColorTable();
  entries_.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    entries_.push_back(PaletteEntry{table[i].red, table[i].green, table[i].blue, 0});
  }
}

CDIBitmap::~CDIBitmap() = default;

bool CDIBitmap::Load(const std::filesystem::path& fileName) {
  // The shared reader refuses what is not a regular file (a folder, a named
  // pipe that would block) instead of waiting on it.
  std::string bytes;
  try {
    bytes = varnokel::ReadFileBytes(fileName);
  } catch (const varnokel::FileError&) {
    return false;
  }
  std::istringstream file(std::move(bytes), std::ios::binary);
  return Read(file);
}

bool CDIBitmap::Read(std::istream& file) {
  Empty();
  auto fail = [this](const char* message) {
    BitmapDiagnostic(message);
    Empty();
    return false;
  };

  const std::streampos start = file.tellg();
  unsigned char fileHeader[kFileHeaderSize] = {};
  const std::size_t got = ReadUpTo(file, fileHeader, sizeof fileHeader);
  if (got < 2 || GetU16(fileHeader) != kBmpType) {
    return fail("Error:Unexpected file type, not a DIB\n");
  }
  if (got < sizeof fileHeader) return fail("Error:File header incomplete\n");
  const std::uint32_t fileSize = GetU32(fileHeader + 2);
  const std::uint32_t pixelOffset = GetU32(fileHeader + 10);

  unsigned char infoBytes[kInfoHeaderSize] = {};
  const std::size_t infoGot = ReadUpTo(file, infoBytes, sizeof infoBytes);
  if (infoGot >= 4 && GetI32(infoBytes) != kInfoHeaderSize) {
    return fail("Error:OS2 PM BMP Format not supported\n");
  }
  if (infoGot < sizeof infoBytes) return fail("Error:Information header incomplete\n");
  const BitmapInfoHeader header = ParseInfoHeader(infoBytes);
  if (const char* problem = HeaderProblem(header)) return fail(problem);

  // The colour table is read as 256 entries whatever the depth; a shorter
  // remainder of the file leaves the rest zero.
  info_ = std::make_unique<Info>();
  info_->header = header;
  unsigned char table[kMaxColorEntries * 4] = {};
  ReadUpTo(file, table, sizeof table);
  for (int i = 0; i < kMaxColorEntries; ++i) {
    info_->colors[i] = RgbQuad{table[4 * i], table[4 * i + 1], table[4 * i + 2], table[4 * i + 3]};
  }

  // The pixel block always holds the whole padded picture, so drawing and
  // writing never read past it; bytes the file does not have stay zero.
  file.clear();
  file.seekg(0, std::ios::end);
  const std::streamoff streamEnd = file.tellg() - start;
  if (!file || pixelOffset > static_cast<std::uint64_t>(streamEnd)) {
    return fail("Error:Pixel data offset past the end of the file\n");
  }
  if (fileSize < pixelOffset) return fail("Error:File size smaller than pixel data offset\n");
  const std::int64_t blockSize = PaddedLength(header) * header.height;
  const std::int64_t toRead = std::min<std::int64_t>(
      {std::int64_t{fileSize} - pixelOffset, streamEnd - std::int64_t{pixelOffset}, blockSize});
  pixelBytes_.assign(static_cast<std::size_t>(blockSize), 0);
  file.seekg(start + static_cast<std::streamoff>(pixelOffset));
  ReadUpTo(file, pixelBytes_.data(), static_cast<std::size_t>(toRead));

  CreatePalette();
  padded_ = true;
  return true;
}

bool CDIBitmap::Save(const std::filesystem::path& fileName) {
  std::ostringstream bytes(std::ios::binary);
  if (Write(bytes)) {
    try {
      varnokel::WriteFileAtomic(fileName, bytes.str());
      return true;
    } catch (const varnokel::FileError&) {
    }
  }
  BitmapDiagnostic("CDIBitmap::Save(): Failed to open file " + fileName.string() +
                   " for writing.\n");
  return false;
}

bool CDIBitmap::Write(std::ostream& file) {
  if (IsEmpty() || pixelBytes_.empty()) return false;
  PadBits();
  BitmapInfoHeader& h = info_->header;
  h.sizeImage = 0;

  const std::uint32_t entries = static_cast<std::uint32_t>(GetColorTableEntries());
  const std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize + 4 * entries;
  const std::uint64_t pixelSize = static_cast<std::uint64_t>(PaddedRowLength()) * h.height;

  std::string out;
  out.reserve(offset);
  PutU16(out, kBmpType);
  PutU32(out, static_cast<std::uint32_t>(offset + pixelSize));
  PutU16(out, 0);
  PutU16(out, 0);
  PutU32(out, offset);
  PutI32(out, h.size);
  PutI32(out, h.width);
  PutI32(out, h.height);
  PutU16(out, h.planes);
  PutU16(out, h.bitCount);
  PutI32(out, h.compression);
  PutI32(out, h.sizeImage);
  PutI32(out, h.xPelsPerMeter);
  PutI32(out, h.yPelsPerMeter);
  PutI32(out, h.clrUsed);
  PutI32(out, h.clrImportant);
  for (std::uint32_t i = 0; i < entries; ++i) {
    const RgbQuad& q = info_->colors[i];
    out.push_back(static_cast<char>(q.blue));
    out.push_back(static_cast<char>(q.green));
    out.push_back(static_cast<char>(q.red));
    out.push_back(static_cast<char>(q.reserved));
  }
  file.write(out.data(), static_cast<std::streamsize>(out.size()));
  file.write(reinterpret_cast<const char*>(pixelBytes_.data()),
             static_cast<std::streamsize>(pixelSize));
  return static_cast<bool>(file);
}

bool CDIBitmap::Create(const BitmapInfoHeader& header, const std::vector<RgbQuad>& colors,
                       const std::vector<std::uint8_t>& pixels, bool padded) {
  Empty();
  if (header.size != kInfoHeaderSize || HeaderProblem(header) != nullptr ||
      colors.size() > kMaxColorEntries) {
    return false;
  }
  const std::int64_t rowLength = padded ? PaddedLength(header) : UnpaddedLength(header);
  const std::int64_t blockSize = PaddedLength(header) * header.height;
  if (static_cast<std::int64_t>(pixels.size()) < rowLength * header.height) return false;
  info_ = std::make_unique<Info>();
  info_->header = header;
  std::copy(colors.begin(), colors.end(), info_->colors.begin());
  pixelBytes_.assign(static_cast<std::size_t>(blockSize), 0);
  std::copy_n(pixels.begin(), rowLength * header.height, pixelBytes_.begin());
  padded_ = padded;
  CreatePalette();
  return true;
}

// Rows are moved from the top down so that none is overwritten before it has
// moved; row 0 is already in place. The flag follows the layout so that a
// second write does not shift the rows again.
void CDIBitmap::PadBits() {
  if (padded_ || IsEmpty()) return;
  const std::int64_t unpadded = UnpaddedRowLength();
  const std::int64_t paddedLength = PaddedRowLength();
  if (unpadded != paddedLength) {
    for (std::int64_t row = GetHeight() - 1; row >= 1; --row) {
      std::memmove(pixelBytes_.data() + paddedLength * row, pixelBytes_.data() + unpadded * row,
                   static_cast<std::size_t>(unpadded));
    }
  }
  padded_ = true;
}

void CDIBitmap::UnPadBits() {
  if (!padded_ || IsEmpty()) return;
  const std::int64_t unpadded = UnpaddedRowLength();
  const std::int64_t paddedLength = PaddedRowLength();
  for (std::int64_t row = 1; row < GetHeight(); ++row) {
    std::memmove(pixelBytes_.data() + unpadded * row, pixelBytes_.data() + paddedLength * row,
                 static_cast<std::size_t>(unpadded));
  }
  padded_ = false;
}

void CDIBitmap::CreatePalette() {
  palette_.reset();
  if (!IsEmpty() && GetBitsPerPixel() <= 8) palette_ = std::make_unique<CDIBPalette>(*this);
}

void CDIBitmap::Empty() {
  info_.reset();
  pixelBytes_.clear();
  pixelBytes_.shrink_to_fit();
  palette_.reset();
  padded_ = false;
}

const BitmapInfoHeader* CDIBitmap::GetHeader() const {
  assert(info_ && "accessor on an empty bitmap");
  return info_ ? &info_->header : nullptr;
}

BitmapInfoHeader* CDIBitmap::GetHeader() {
  assert(info_ && "accessor on an empty bitmap");
  return info_ ? &info_->header : nullptr;
}

const RgbQuad* CDIBitmap::GetColorTable() const {
  assert(info_ && "accessor on an empty bitmap");
  return info_ ? info_->colors.data() : nullptr;
}

const std::uint8_t* CDIBitmap::GetPixels() const {
  return pixelBytes_.empty() ? nullptr : pixelBytes_.data();
}

std::uint8_t* CDIBitmap::GetPixels() {
  return pixelBytes_.empty() ? nullptr : pixelBytes_.data();
}

int CDIBitmap::GetWidth() const {
  return GetHeader()->width;
}
int CDIBitmap::GetHeight() const {
  return GetHeader()->height;
}
int CDIBitmap::GetBitsPerPixel() const {
  return GetHeader()->bitCount;
}

std::int64_t CDIBitmap::GetColorCount() const {
  const BitmapInfoHeader* h = GetHeader();
  if (h->clrUsed != 0) return h->clrUsed;
  return std::int64_t{1} << h->bitCount;
}

int CDIBitmap::GetColorTableEntries() const {
  if (GetBitsPerPixel() <= 8 || GetHeader()->clrUsed != 0) {
    return static_cast<int>(std::min<std::int64_t>(GetColorCount(), kMaxColorEntries));
  }
  return 0;
}

std::int64_t CDIBitmap::UnpaddedRowLength() const {
  return UnpaddedLength(*GetHeader());
}
std::int64_t CDIBitmap::PaddedRowLength() const {
  return PaddedLength(*GetHeader());
}
