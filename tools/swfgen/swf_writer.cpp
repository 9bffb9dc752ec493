#include "tools/swfgen/swf_writer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace varnokel::swf {

namespace {

// Edge deltas are stored with a 4-bit "bits minus two" count: at most 17 bits.
constexpr int kMaxEdgeBits = 17;

void PutU8(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
}
void PutU16(std::string& out, uint32_t v) {
  PutU8(out, v);
  PutU8(out, v >> 8);
}
void PutU32(std::string& out, uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}
void PutRgba(std::string& out, Rgba c) {
  PutU8(out, c.r);
  PutU8(out, c.g);
  PutU8(out, c.b);
  PutU8(out, c.a);
}

int32_t Fixed(double value, double one) {
  const double scaled = std::round(value * one);
  if (scaled > std::numeric_limits<int32_t>::max() || scaled < std::numeric_limits<int32_t>::min())
    throw std::out_of_range("fixed-point value out of range");
  return static_cast<int32_t>(scaled);
}

int UnsignedBits(uint32_t value) {
  return std::bit_width(value);
}

void WriteRect(BitWriter& bits, int32_t xmin, int32_t xmax, int32_t ymin, int32_t ymax) {
  const int n = std::max({SignedBits(xmin), SignedBits(xmax), SignedBits(ymin), SignedBits(ymax)});
  bits.Unsigned(static_cast<uint32_t>(n), 5);
  for (int32_t v : {xmin, xmax, ymin, ymax}) bits.Signed(v, n);
  bits.Align();
}

void WriteMatrix(BitWriter& bits, const Matrix& m) {
  const bool has_scale = m.sx != 1 || m.sy != 1;
  bits.Unsigned(has_scale, 1);
  if (has_scale) {
    const int32_t sx = Fixed(m.sx, 65536), sy = Fixed(m.sy, 65536);
    const int n = std::max(SignedBits(sx), SignedBits(sy));
    bits.Unsigned(static_cast<uint32_t>(n), 5);
    bits.Signed(sx, n);
    bits.Signed(sy, n);
  }
  const bool has_rotate = m.r0 != 0 || m.r1 != 0;
  bits.Unsigned(has_rotate, 1);
  if (has_rotate) {
    const int32_t r0 = Fixed(m.r0, 65536), r1 = Fixed(m.r1, 65536);
    const int n = std::max(SignedBits(r0), SignedBits(r1));
    bits.Unsigned(static_cast<uint32_t>(n), 5);
    bits.Signed(r0, n);
    bits.Signed(r1, n);
  }
  const int n = std::max(SignedBits(m.tx), SignedBits(m.ty));
  bits.Unsigned(static_cast<uint32_t>(n), 5);
  bits.Signed(m.tx, n);
  bits.Signed(m.ty, n);
  bits.Align();
}

void WriteColourTransform(BitWriter& bits, const ColourTransform& cx) {
  const int32_t r = Fixed(cx.r, 256), g = Fixed(cx.g, 256), b = Fixed(cx.b, 256),
                a = Fixed(cx.a, 256);
  const int n = std::max({SignedBits(r), SignedBits(g), SignedBits(b), SignedBits(a), 1});
  if (n > 15) throw std::out_of_range("colour transform factor out of range");
  bits.Unsigned(0, 1);  // no add terms
  bits.Unsigned(1, 1);  // multiply terms
  bits.Unsigned(static_cast<uint32_t>(n), 4);
  for (int32_t v : {r, g, b, a}) bits.Signed(v, n);
  bits.Align();
}

void WriteFillStyle(std::string& out, const FillStyle& fill) {
  if (!fill.gradient) {
    PutU8(out, 0x00);
    PutRgba(out, fill.colour);
    return;
  }
  if (fill.stops.empty() || fill.stops.size() > 8)
    throw std::invalid_argument("a gradient needs 1 to 8 stops");
  PutU8(out, 0x10);
  BitWriter m;
  WriteMatrix(m, fill.matrix);
  out += m.bytes();
  PutU8(out, static_cast<uint32_t>(fill.stops.size()));  // pad spread, RGB interpolation
  for (const GradientStop& stop : fill.stops) {
    PutU8(out, stop.ratio);
    PutRgba(out, stop.colour);
  }
}

template <typename T>
void WriteStyleCount(std::string& out, const std::vector<T>& styles) {
  if (styles.size() > 0xFFFF) throw std::length_error("too many styles in one shape");
  if (styles.size() < 0xFF) {
    PutU8(out, static_cast<uint32_t>(styles.size()));
  } else {
    PutU8(out, 0xFF);
    PutU16(out, static_cast<uint32_t>(styles.size()));
  }
}

// Edge records between consecutive points; long edges are split so that their
// deltas fit the 17-bit limit of the format.
class EdgeWriter {
 public:
  explicit EdgeWriter(BitWriter& bits) : bits_(bits) {}

  void Line(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    const int32_t dx = x1 - x0, dy = y1 - y0;
    if (dx == 0 && dy == 0) return;
    const int n = std::max({SignedBits(dx), SignedBits(dy), 2});
    if (n > kMaxEdgeBits) {
      const int32_t mx = x0 + dx / 2, my = y0 + dy / 2;
      Line(x0, y0, mx, my);
      Line(mx, my, x1, y1);
      return;
    }
    bits_.Unsigned(1, 1);  // edge
    bits_.Unsigned(1, 1);  // straight
    bits_.Unsigned(static_cast<uint32_t>(n - 2), 4);
    if (dx != 0 && dy != 0) {
      bits_.Unsigned(1, 1);  // general line
      bits_.Signed(dx, n);
      bits_.Signed(dy, n);
    } else {
      bits_.Unsigned(0, 1);
      bits_.Unsigned(dx == 0, 1);  // vertical
      bits_.Signed(dx == 0 ? dy : dx, n);
    }
  }

  void Curve(int32_t x0, int32_t y0, int32_t cx, int32_t cy, int32_t x1, int32_t y1) {
    const int32_t cdx = cx - x0, cdy = cy - y0, adx = x1 - cx, ady = y1 - cy;
    const int n = std::max({SignedBits(cdx), SignedBits(cdy), SignedBits(adx), SignedBits(ady), 2});
    if (n > kMaxEdgeBits) {
      // Split at t = 1/2 (de Casteljau).
      const int32_t ax = x0 + cdx / 2, ay = y0 + cdy / 2;
      const int32_t bx = cx + adx / 2, by = cy + ady / 2;
      const int32_t mx = ax + (bx - ax) / 2, my = ay + (by - ay) / 2;
      Curve(x0, y0, ax, ay, mx, my);
      Curve(mx, my, bx, by, x1, y1);
      return;
    }
    bits_.Unsigned(1, 1);  // edge
    bits_.Unsigned(0, 1);  // curved
    bits_.Unsigned(static_cast<uint32_t>(n - 2), 4);
    for (int32_t v : {cdx, cdy, adx, ady}) bits_.Signed(v, n);
  }

 private:
  BitWriter& bits_;
};

std::string ShapeBody(uint16_t id, const Shape& shape) {
  int32_t xmin = std::numeric_limits<int32_t>::max(), ymin = xmin;
  int32_t xmax = std::numeric_limits<int32_t>::min(), ymax = xmax;
  for (const Shape::Record& r : shape.records()) {
    xmin = std::min({xmin, r.x, r.kind == Shape::Record::kCurve ? r.cx : r.x});
    xmax = std::max({xmax, r.x, r.kind == Shape::Record::kCurve ? r.cx : r.x});
    ymin = std::min({ymin, r.y, r.kind == Shape::Record::kCurve ? r.cy : r.y});
    ymax = std::max({ymax, r.y, r.kind == Shape::Record::kCurve ? r.cy : r.y});
  }
  if (shape.records().empty()) xmin = xmax = ymin = ymax = 0;
  int32_t half_line = 0;
  for (const LineStyle& l : shape.lines()) half_line = std::max<int32_t>(half_line, l.width / 2);

  std::string out;
  PutU16(out, id);
  BitWriter bounds;
  WriteRect(bounds, xmin - half_line, xmax + half_line, ymin - half_line, ymax + half_line);
  out += bounds.bytes();

  WriteStyleCount(out, shape.fills());
  for (const FillStyle& f : shape.fills()) WriteFillStyle(out, f);
  WriteStyleCount(out, shape.lines());
  for (const LineStyle& l : shape.lines()) {
    PutU16(out, l.width);
    PutRgba(out, l.colour);
  }

  const int fill_bits = UnsignedBits(static_cast<uint32_t>(shape.fills().size()));
  const int line_bits = UnsignedBits(static_cast<uint32_t>(shape.lines().size()));
  BitWriter bits;
  bits.Unsigned(static_cast<uint32_t>(fill_bits), 4);
  bits.Unsigned(static_cast<uint32_t>(line_bits), 4);
  EdgeWriter edges(bits);
  int32_t x = 0, y = 0;
  for (const Shape::Record& r : shape.records()) {
    switch (r.kind) {
      case Shape::Record::kMove: {
        // Style change: new styles no, line, fill1, fill0 and move-to all set.
        bits.Unsigned(0b001111, 6);
        const int n = std::max({SignedBits(r.x), SignedBits(r.y), 1});
        bits.Unsigned(static_cast<uint32_t>(n), 5);
        bits.Signed(r.x, n);
        bits.Signed(r.y, n);
        bits.Unsigned(static_cast<uint32_t>(r.fill0), fill_bits);
        bits.Unsigned(static_cast<uint32_t>(r.fill1), fill_bits);
        bits.Unsigned(static_cast<uint32_t>(r.line), line_bits);
        break;
      }
      case Shape::Record::kLine:
        edges.Line(x, y, r.x, r.y);
        break;
      case Shape::Record::kCurve:
        edges.Curve(x, y, r.cx, r.cy, r.x, r.y);
        break;
    }
    x = r.x;
    y = r.y;
  }
  bits.Unsigned(0, 6);  // end of shape
  out += bits.bytes();
  return out;
}

}  // namespace

int SignedBits(int64_t value) {
  if (value == 0) return 0;
  const uint64_t magnitude = static_cast<uint64_t>(value < 0 ? ~value : value);
  return static_cast<int>(std::bit_width(magnitude)) + 1;
}

void BitWriter::Unsigned(uint32_t value, int bits) {
  for (int i = bits - 1; i >= 0; --i) {
    if (used_ == 8) {
      bytes_.push_back('\0');
      used_ = 0;
    }
    if ((value >> i) & 1) bytes_.back() = static_cast<char>(bytes_.back() | (0x80 >> used_));
    ++used_;
  }
}

void BitWriter::Signed(int32_t value, int bits) {
  if (bits < 32 && SignedBits(value) > bits)
    throw std::out_of_range("value does not fit its field");
  Unsigned(static_cast<uint32_t>(value), bits);
}

void BitWriter::Align() {
  used_ = 8;
}

FillStyle FillStyle::Linear(int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                            std::vector<GradientStop> stops) {
  // The gradient square spans 32768 twips along its x axis; map that axis onto
  // the segment and the y axis onto its perpendicular.
  const double dx = (x1 - x0) / 32768.0, dy = (y1 - y0) / 32768.0;
  Matrix m{dx, dx, dy, -dy, x0 + (x1 - x0) / 2, y0 + (y1 - y0) / 2};
  return FillStyle{true, {}, m, std::move(stops)};
}

int Shape::AddFill(const FillStyle& fill) {
  fills_.push_back(fill);
  return static_cast<int>(fills_.size());
}

int Shape::AddLine(const LineStyle& line) {
  lines_.push_back(line);
  return static_cast<int>(lines_.size());
}

void Shape::MoveTo(int32_t x, int32_t y, int fill0, int fill1, int line) {
  records_.push_back({Record::kMove, x, y, 0, 0, fill0, fill1, line});
}

void Shape::LineTo(int32_t x, int32_t y) {
  records_.push_back({Record::kLine, x, y, 0, 0, 0, 0, 0});
}

void Shape::CurveTo(int32_t cx, int32_t cy, int32_t x, int32_t y) {
  records_.push_back({Record::kCurve, x, y, cx, cy, 0, 0, 0});
}

void Shape::Rectangle(int32_t x, int32_t y, int32_t w, int32_t h, int fill, int line) {
  MoveTo(x, y, fill, 0, line);
  LineTo(x, y + h);
  LineTo(x + w, y + h);
  LineTo(x + w, y);
  LineTo(x, y);
}

void Shape::Ellipse(int32_t cx, int32_t cy, int32_t rx, int32_t ry, int fill, int line) {
  // Eight quadratic arcs of 45 degrees; the control point of each lies on the
  // bisecting ray at 1/cos(22.5 degrees) of the radius.
  constexpr double kPi = 3.14159265358979323846;
  const double k = 1.0 / std::cos(kPi / 8);
  auto px = [&](double a, double scale) {
    return cx + static_cast<int32_t>(std::lround(rx * scale * std::cos(a)));
  };
  auto py = [&](double a, double scale) {
    return cy + static_cast<int32_t>(std::lround(ry * scale * std::sin(a)));
  };
  // Decreasing angles run counter-clockwise on a y-down screen.
  MoveTo(px(0, 1), py(0, 1), fill, 0, line);
  for (int i = 1; i <= 8; ++i) {
    const double a = -i * kPi / 4, mid = a + kPi / 8;
    CurveTo(px(mid, k), py(mid, k), px(a, 1), py(a, 1));
  }
}

MovieWriter::MovieWriter(int32_t width, int32_t height, double frame_rate, uint8_t version)
    : width_(width), height_(height), frame_rate_(frame_rate), version_(version) {
  if (version_ >= 8) {
    std::string flags;
    PutU32(flags, 0);  // no ActionScript 3, no metadata, local files only
    Tag(kFileAttributes, flags);
  }
}

void MovieWriter::SetBackground(Rgba colour) {
  std::string body;
  PutU8(body, colour.r);
  PutU8(body, colour.g);
  PutU8(body, colour.b);
  Tag(kSetBackgroundColor, body);
}

uint16_t MovieWriter::DefineShape(const Shape& shape) {
  const uint16_t id = next_id_++;
  Tag(kDefineShape3, ShapeBody(id, shape));
  return id;
}

void MovieWriter::Place(uint16_t depth, uint16_t character, const Matrix& m,
                        const ColourTransform* cx) {
  PlaceObject(depth, character, false, m, cx);
}

void MovieWriter::Move(uint16_t depth, const Matrix& m, const ColourTransform* cx) {
  PlaceObject(depth, 0, true, m, cx);
}

void MovieWriter::PlaceObject(uint16_t depth, uint16_t character, bool move, const Matrix& m,
                              const ColourTransform* cx) {
  std::string body;
  uint32_t flags = 0x04;         // has matrix
  if (cx) flags |= 0x08;         // has colour transform
  if (character) flags |= 0x02;  // has character
  if (move) flags |= 0x01;       // modifies the object at this depth
  PutU8(body, flags);
  PutU16(body, depth);
  if (character) PutU16(body, character);
  BitWriter bits;
  WriteMatrix(bits, m);
  if (cx) WriteColourTransform(bits, *cx);
  body += bits.bytes();
  Tag(kPlaceObject2, body);
}

void MovieWriter::Remove(uint16_t depth) {
  std::string body;
  PutU16(body, depth);
  Tag(kRemoveObject2, body);
}

void MovieWriter::ShowFrame() {
  if (frames_ == 0xFFFF) throw std::length_error("too many frames");
  ++frames_;
  Tag(kShowFrame, {});
}

void MovieWriter::Tag(uint16_t code, const std::string& body) {
  if (body.size() < 0x3F) {
    PutU16(tags_, static_cast<uint32_t>(code) << 6 | static_cast<uint32_t>(body.size()));
  } else {
    PutU16(tags_, static_cast<uint32_t>(code) << 6 | 0x3F);
    PutU32(tags_, static_cast<uint32_t>(body.size()));
  }
  tags_ += body;
}

std::string MovieWriter::Finish() {
  Tag(kEnd, {});
  std::string head = "FWS";
  PutU8(head, version_);
  PutU32(head, 0);  // file length, filled in below
  BitWriter rect;
  WriteRect(rect, 0, width_, 0, height_);
  head += rect.bytes();
  PutU16(head, static_cast<uint32_t>(Fixed(frame_rate_, 256)));
  PutU16(head, frames_);
  std::string file = head + tags_;
  const auto length = static_cast<uint32_t>(file.size());
  for (int i = 0; i < 4; ++i) file[4 + i] = static_cast<char>(length >> (8 * i));
  return file;
}

}  // namespace varnokel::swf
