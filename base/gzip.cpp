#include "base/gzip.h"

#include <zlib.h>

#include <stdexcept>

#include "base/file_io.h"

namespace varnokel {

namespace {

constexpr unsigned char kMagic0 = 0x1f, kMagic1 = 0x8b;
constexpr int kGzipWindowBits = 15 + 16;  // the largest window, gzip framing
constexpr int kMemoryLevel = 8;
constexpr size_t kOutputStep = size_t{1} << 20;
constexpr uInt kMaxPiece = 1u << 30;  // zlib counts in 32 bits

uInt Piece(size_t bytes) {
  return static_cast<uInt>(std::min<size_t>(bytes, kMaxPiece));
}

}  // namespace

bool IsGzip(std::string_view bytes) {
  return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == kMagic0 &&
         static_cast<unsigned char>(bytes[1]) == kMagic1;
}

std::string GzipCompress(std::string_view bytes) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindowBits, kMemoryLevel,
                   Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::bad_alloc();
  std::string out(deflateBound(&stream, static_cast<uLong>(bytes.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  int status = Z_OK;
  while (status == Z_OK) {
    const size_t in_left = bytes.size() - stream.total_in;
    stream.avail_in = Piece(in_left);
    stream.avail_out = Piece(out.size() - stream.total_out);
    status = deflate(&stream, stream.avail_in == in_left ? Z_FINISH : Z_NO_FLUSH);
  }
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (status != Z_STREAM_END) throw std::bad_alloc();
  return out;
}

void AppendGunzipped(ByteBuffer& out, std::string_view compressed,
                     const std::filesystem::path& file) {
  z_stream stream{};
  if (inflateInit2(&stream, kGzipWindowBits) != Z_OK) throw std::bad_alloc();
  const size_t before = out.size();
  size_t done = before;
  const auto* in = reinterpret_cast<const Bytef*>(compressed.data());
  size_t in_left = compressed.size();
  int status = Z_OK;
  while (in_left > 0) {
    if (done == out.size()) out.resize(out.size() + std::max(kOutputStep, in_left));
    stream.next_in = const_cast<Bytef*>(in);
    stream.avail_in = Piece(in_left);
    stream.next_out = reinterpret_cast<Bytef*>(out.data() + done);
    stream.avail_out = Piece(out.size() - done);
    const uInt in_before = stream.avail_in, out_before = stream.avail_out;
    status = inflate(&stream, Z_NO_FLUSH);
    in += in_before - stream.avail_in;
    in_left -= in_before - stream.avail_in;
    done += out_before - stream.avail_out;
    if (status == Z_STREAM_END) {
      if (in_left > 0 && inflateReset(&stream) != Z_OK) break;  // the next member
    } else if (status != Z_OK && status != Z_BUF_ERROR) {
      break;
    }
  }
  inflateEnd(&stream);
  if (status != Z_STREAM_END) {
    out.resize(before);
    throw FileError(FileError::Kind::kOpen, file,
                    "gzip-Daten besch\xC3\xA4"
                    "digt oder unvollst\xC3\xA4ndig");
  }
  out.resize(done);
}

}  // namespace varnokel
