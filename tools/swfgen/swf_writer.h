// SPDX-License-Identifier: GPL-3.0-or-later
// A small writer for uncompressed Flash movies ("FWS"): shapes with solid and
// gradient fills and line styles, the display list operations place, move and
// remove, frames and the end tag. Plain C++, no Qt.
//
// Coordinates are in twips (1/20 pixel), y growing downwards, as in the file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnokel::swf {

struct Rgba {
  uint8_t r = 0, g = 0, b = 0, a = 255;
};

// Maps shape space onto the parent: x' = sx*x + r1*y + tx, y' = r0*x + sy*y + ty.
struct Matrix {
  double sx = 1, sy = 1;   // written as 16.16 fixed point
  double r0 = 0, r1 = 0;   // rotation and skew, 16.16 fixed point
  int32_t tx = 0, ty = 0;  // translation in twips

  static Matrix Translate(int32_t x, int32_t y) { return Matrix{1, 1, 0, 0, x, y}; }
};

// Multiplies each colour channel (1.0 keeps it) before drawing; written in 8.8
// fixed point.
struct ColourTransform {
  double r = 1, g = 1, b = 1, a = 1;
};

struct GradientStop {
  uint8_t ratio;  // 0 at the start of the gradient square, 255 at its end
  Rgba colour;
};

// A solid fill, or a linear gradient along the x axis of the gradient square
// (-16384..16384 twips) placed into the shape by `matrix`.
struct FillStyle {
  bool gradient = false;
  Rgba colour;
  Matrix matrix;
  std::vector<GradientStop> stops;

  static FillStyle Solid(Rgba c) { return FillStyle{false, c, {}, {}}; }
  // A gradient running from (x0, y0) to (x1, y1) in shape coordinates.
  static FillStyle Linear(int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                          std::vector<GradientStop> stops);
};

struct LineStyle {
  uint16_t width;  // twips
  Rgba colour;
};

// A shape built from closed outlines. Fill and line style numbers are 1-based
// indexes into the shape's style arrays; 0 means none.
class Shape {
 public:
  int AddFill(const FillStyle& fill);
  int AddLine(const LineStyle& line);

  // Starts a new outline at (x, y) drawn with the given fills on the left
  // (fill0) and right (fill1) side of its edges and the given line style.
  void MoveTo(int32_t x, int32_t y, int fill0, int fill1, int line);
  void LineTo(int32_t x, int32_t y);
  // A quadratic Bezier curve through the control point (cx, cy).
  void CurveTo(int32_t cx, int32_t cy, int32_t x, int32_t y);

  // Helpers for closed figures; both run counter-clockwise on screen, so
  // their inside lies on the left of the edges (fill0).
  void Rectangle(int32_t x, int32_t y, int32_t w, int32_t h, int fill, int line = 0);
  void Ellipse(int32_t cx, int32_t cy, int32_t rx, int32_t ry, int fill, int line = 0);

  struct Record {
    enum Kind { kMove, kLine, kCurve } kind;
    int32_t x, y;    // end point (absolute)
    int32_t cx, cy;  // control point of a curve (absolute)
    int fill0, fill1, line;
  };
  const std::vector<FillStyle>& fills() const { return fills_; }
  const std::vector<LineStyle>& lines() const { return lines_; }
  const std::vector<Record>& records() const { return records_; }

 private:
  std::vector<FillStyle> fills_;
  std::vector<LineStyle> lines_;
  std::vector<Record> records_;
};

// Bit-packed fields as the file stores them: most significant bit first,
// unsigned (UB), signed two's complement (SB) and 16.16 fixed (FB).
class BitWriter {
 public:
  void Unsigned(uint32_t value, int bits);
  void Signed(int32_t value, int bits);
  void Align();  // pads the current byte with zero bits
  std::string& bytes() {
    Align();
    return bytes_;
  }

 private:
  std::string bytes_;
  int used_ = 8;  // bits used in the last byte
};

// Bits needed to hold `value` as a signed field (two's complement, sign bit
// included).
int SignedBits(int64_t value);

// Builds a movie in memory: tags are appended in call order.
class MovieWriter {
 public:
  // Stage of width x height twips, frame rate in frames per second (8.8).
  MovieWriter(int32_t width, int32_t height, double frame_rate, uint8_t version = 10);

  void SetBackground(Rgba colour);
  // Defines the shape (DefineShape3) and returns its character id.
  uint16_t DefineShape(const Shape& shape);
  void Place(uint16_t depth, uint16_t character, const Matrix& m,
             const ColourTransform* cx = nullptr);
  void Move(uint16_t depth, const Matrix& m, const ColourTransform* cx = nullptr);
  void Remove(uint16_t depth);
  void ShowFrame();

  // Appends the end tag and returns the whole file.
  std::string Finish();

 private:
  void Tag(uint16_t code, const std::string& body);
  void PlaceObject(uint16_t depth, uint16_t character, bool move, const Matrix& m,
                   const ColourTransform* cx);

  int32_t width_, height_;
  double frame_rate_;
  uint8_t version_;
  uint16_t frames_ = 0;
  uint16_t next_id_ = 1;
  std::string tags_;
};

// Tag codes used by the writer.
enum TagCode : uint16_t {
  kEnd = 0,
  kShowFrame = 1,
  kSetBackgroundColor = 9,
  kPlaceObject2 = 26,
  kRemoveObject2 = 28,
  kDefineShape3 = 32,
  kFileAttributes = 69,
};

}  // namespace varnokel::swf
