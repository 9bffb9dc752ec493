// SPDX-License-Identifier: GPL-3.0-or-later
// An independent reader of uncompressed Flash movies for the tests: it knows
// the file layout from the format description, not from the writer's code.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace varnokel::views_test {

class BitReader {
 public:
  BitReader(const std::string& bytes, size_t offset, size_t end)
      : bytes_(bytes), pos_(offset * 8), end_(end * 8) {}

  uint32_t UB(int bits) {
    uint32_t v = 0;
    for (int i = 0; i < bits; ++i, ++pos_) {
      if (pos_ >= end_) throw std::out_of_range("read past the end of the record");
      v = v << 1 | ((static_cast<uint8_t>(bytes_[pos_ / 8]) >> (7 - pos_ % 8)) & 1);
    }
    return v;
  }
  int32_t SB(int bits) {
    if (bits == 0) return 0;
    const uint32_t v = UB(bits);
    const bool negative = (v >> (bits - 1)) & 1;
    if (!negative) return static_cast<int32_t>(v);
    return static_cast<int32_t>(static_cast<int64_t>(v) - (int64_t{1} << bits));
  }
  double FB(int bits) { return SB(bits) / 65536.0; }
  void Align() { pos_ = (pos_ + 7) / 8 * 8; }
  uint32_t U8() {
    Align();
    return UB(8);
  }
  uint32_t U16() {
    const uint32_t lo = U8();
    return lo | U8() << 8;
  }
  uint32_t U32() {
    const uint32_t lo = U16();
    return lo | U16() << 16;
  }
  size_t byte() const { return (pos_ + 7) / 8; }

 private:
  const std::string& bytes_;
  size_t pos_, end_;
};

struct Rect {
  int32_t xmin, xmax, ymin, ymax;
};

inline Rect ReadRect(BitReader& r) {
  const int n = static_cast<int>(r.UB(5));
  Rect rect{r.SB(n), r.SB(n), r.SB(n), r.SB(n)};
  r.Align();
  return rect;
}

struct ParsedMatrix {
  double sx = 1, sy = 1, r0 = 0, r1 = 0;
  int32_t tx = 0, ty = 0;
};

inline ParsedMatrix ReadMatrix(BitReader& r) {
  ParsedMatrix m;
  if (r.UB(1)) {
    const int n = static_cast<int>(r.UB(5));
    m.sx = r.FB(n);
    m.sy = r.FB(n);
  }
  if (r.UB(1)) {
    const int n = static_cast<int>(r.UB(5));
    m.r0 = r.FB(n);
    m.r1 = r.FB(n);
  }
  const int n = static_cast<int>(r.UB(5));
  m.tx = r.SB(n);
  m.ty = r.SB(n);
  r.Align();
  return m;
}

struct Tag {
  uint16_t code;
  size_t offset;  // of the body
  size_t length;
};

struct Movie {
  uint8_t version;
  uint32_t file_length;
  Rect frame;
  double frame_rate;
  uint16_t frame_count;
  std::vector<Tag> tags;
};

// Header and tag list; throws when a length or the signature is wrong.
inline Movie ReadMovie(const std::string& file) {
  if (file.size() < 8 || file.compare(0, 3, "FWS") != 0) throw std::runtime_error("not FWS");
  BitReader r(file, 3, file.size());
  Movie m;
  m.version = static_cast<uint8_t>(r.U8());
  m.file_length = r.U32();
  m.frame = ReadRect(r);
  const uint32_t rate = r.U16();
  m.frame_rate = (rate >> 8) + (rate & 0xFF) / 256.0;
  m.frame_count = static_cast<uint16_t>(r.U16());
  size_t pos = r.byte();
  while (pos < file.size()) {
    BitReader h(file, pos, file.size());
    const uint32_t code_and_length = h.U16();
    size_t length = code_and_length & 0x3F;
    if (length == 0x3F) length = h.U32();
    const size_t body = h.byte();
    if (body + length > file.size()) throw std::runtime_error("tag runs past the end");
    m.tags.push_back({static_cast<uint16_t>(code_and_length >> 6), body, length});
    pos = body + length;
    if (m.tags.back().code == 0) break;
  }
  if (pos != file.size()) throw std::runtime_error("bytes after the end tag");
  return m;
}

struct ShapeEdge {
  bool curve;
  int32_t x0, y0, cx, cy, x1, y1;
};

struct ParsedShape {
  uint16_t id;
  Rect bounds;
  int solid_fills = 0, gradient_fills = 0, line_styles = 0;
  std::vector<ParsedMatrix> gradient_matrices;
  int moves = 0;
  std::vector<ShapeEdge> edges;
  size_t end;  // byte after the end-of-shape record
};

// A DefineShape3 body: styles, then the records up to the end-of-shape record,
// tracking the drawing position. Style indexes are checked against the arrays.
inline ParsedShape ReadShape3(const std::string& file, const Tag& tag) {
  BitReader r(file, tag.offset, tag.offset + tag.length);
  ParsedShape s;
  s.id = static_cast<uint16_t>(r.U16());
  s.bounds = ReadRect(r);
  auto count = [&] {
    uint32_t n = r.U8();
    return n == 0xFF ? r.U16() : n;
  };
  const uint32_t fills = count();
  for (uint32_t i = 0; i < fills; ++i) {
    const uint32_t type = r.U8();
    if (type == 0x00) {
      r.U32();  // RGBA
      ++s.solid_fills;
    } else if (type == 0x10 || type == 0x12) {
      s.gradient_matrices.push_back(ReadMatrix(r));
      const uint32_t n = r.U8() & 0x0F;
      if (n == 0) throw std::runtime_error("gradient without stops");
      int last = -1;
      for (uint32_t k = 0; k < n; ++k) {
        const int ratio = static_cast<int>(r.U8());
        if (ratio < last) throw std::runtime_error("gradient ratios out of order");
        last = ratio;
        r.U32();
      }
      ++s.gradient_fills;
    } else {
      throw std::runtime_error("unexpected fill type");
    }
  }
  const uint32_t lines = count();
  for (uint32_t i = 0; i < lines; ++i) {
    r.U16();
    r.U32();
    ++s.line_styles;
  }
  r.Align();
  const int fill_bits = static_cast<int>(r.UB(4)), line_bits = static_cast<int>(r.UB(4));
  int32_t x = 0, y = 0;
  for (;;) {
    if (r.UB(1) == 0) {
      const uint32_t flags = r.UB(5);
      if (flags == 0) break;
      if (flags & 0x10) throw std::runtime_error("new styles not expected");
      if (flags & 0x01) {
        const int n = static_cast<int>(r.UB(5));
        x = r.SB(n);
        y = r.SB(n);
        ++s.moves;
      }
      if (flags & 0x02 && r.UB(fill_bits) > fills) throw std::runtime_error("fill0 index");
      if (flags & 0x04 && r.UB(fill_bits) > fills) throw std::runtime_error("fill1 index");
      if (flags & 0x08 && r.UB(line_bits) > lines) throw std::runtime_error("line index");
    } else if (r.UB(1) == 1) {
      const int n = static_cast<int>(r.UB(4)) + 2;
      int32_t dx = 0, dy = 0;
      if (r.UB(1)) {
        dx = r.SB(n);
        dy = r.SB(n);
      } else if (r.UB(1)) {
        dy = r.SB(n);
      } else {
        dx = r.SB(n);
      }
      s.edges.push_back({false, x, y, 0, 0, x + dx, y + dy});
      x += dx;
      y += dy;
    } else {
      const int n = static_cast<int>(r.UB(4)) + 2;
      const int32_t cx = x + r.SB(n), cy = y + r.SB(n);
      const int32_t ax = cx + r.SB(n), ay = cy + r.SB(n);
      s.edges.push_back({true, x, y, cx, cy, ax, ay});
      x = ax;
      y = ay;
    }
  }
  s.end = r.byte();
  return s;
}

struct Placement {
  uint32_t flags;
  uint16_t depth;
  uint16_t character;  // 0 when the tag only moves
  ParsedMatrix matrix;
  double alpha = 1;  // alpha multiplier of the colour transform
  size_t end;
};

inline Placement ReadPlaceObject2(const std::string& file, const Tag& tag) {
  BitReader r(file, tag.offset, tag.offset + tag.length);
  Placement p;
  p.flags = r.U8();
  p.depth = static_cast<uint16_t>(r.U16());
  p.character = (p.flags & 0x02) ? static_cast<uint16_t>(r.U16()) : 0;
  if (p.flags & 0x04) p.matrix = ReadMatrix(r);
  if (p.flags & 0x08) {
    const bool add = r.UB(1), mult = r.UB(1);
    const int n = static_cast<int>(r.UB(4));
    if (mult) {
      r.SB(n);
      r.SB(n);
      r.SB(n);
      p.alpha = r.SB(n) / 256.0;
    }
    if (add)
      for (int i = 0; i < 4; ++i) r.SB(n);
    r.Align();
  }
  if (p.flags & 0xF0) throw std::runtime_error("unexpected place flags");
  p.end = r.byte();
  return p;
}

}  // namespace varnokel::views_test
