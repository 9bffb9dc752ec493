// SPDX-License-Identifier: GPL-3.0-or-later
// The cover animation and the movie writer, checked by reading the bytes back
// with the independent reader of swf_parser.h.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <set>
#include <sstream>

#include "tests/views/swf_parser.h"
#include "tools/swfgen/swf_writer.h"

namespace {

using namespace varnokel::views_test;
namespace swf = varnokel::swf;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

bool Inside(const Rect& r, int32_t x, int32_t y) {
  return x >= r.xmin && x <= r.xmax && y >= r.ymin && y <= r.ymax;
}

// Every contour ends where it started, and every point lies in the bounds.
void ExpectClosedAndBounded(const ParsedShape& s) {
  ASSERT_FALSE(s.edges.empty());
  int32_t start_x = s.edges.front().x0, start_y = s.edges.front().y0;
  for (size_t i = 0; i < s.edges.size(); ++i) {
    const ShapeEdge& e = s.edges[i];
    EXPECT_TRUE(Inside(s.bounds, e.x1, e.y1)) << "shape " << s.id << " edge " << i;
    if (e.curve) {
      EXPECT_TRUE(Inside(s.bounds, e.cx, e.cy)) << "shape " << s.id << " edge " << i;
    }
    const bool last_of_contour =
        i + 1 == s.edges.size() || s.edges[i + 1].x0 != e.x1 || s.edges[i + 1].y0 != e.y1;
    if (last_of_contour) {
      EXPECT_EQ(e.x1, start_x) << "open contour in shape " << s.id << " at edge " << i;
      EXPECT_EQ(e.y1, start_y) << "open contour in shape " << s.id << " at edge " << i;
      if (i + 1 < s.edges.size()) {
        start_x = s.edges[i + 1].x0;
        start_y = s.edges[i + 1].y0;
      }
    }
  }
}

TEST(CoverMovie, HeaderTagsAndDisplayList) {
  const std::string file = ReadAll(std::string(VARNOKEL_PROGRAM_DIR) + "/varnokel.swf");
  ASSERT_GT(file.size(), 100u);
  const Movie movie = ReadMovie(file);
  EXPECT_EQ(movie.version, 10);
  EXPECT_EQ(movie.file_length, file.size());
  // 295 x 60 doubled, in twips.
  EXPECT_EQ(movie.frame.xmin, 0);
  EXPECT_EQ(movie.frame.xmax, 590 * 20);
  EXPECT_EQ(movie.frame.ymin, 0);
  EXPECT_EQ(movie.frame.ymax, 120 * 20);
  EXPECT_EQ(movie.frame_rate, 24.0);
  EXPECT_EQ(movie.frame_count, 96);

  ASSERT_GE(movie.tags.size(), 4u);
  EXPECT_EQ(movie.tags[0].code, swf::kFileAttributes);
  EXPECT_EQ(movie.tags[0].length, 4u);
  EXPECT_EQ(movie.tags[1].code, swf::kSetBackgroundColor);
  EXPECT_EQ(movie.tags[1].length, 3u);
  EXPECT_EQ(movie.tags.back().code, swf::kEnd);
  EXPECT_EQ(movie.tags.back().length, 0u);

  std::set<uint16_t> defined;
  std::map<uint16_t, uint16_t> depths;  // depth -> character
  int frames = 0, removes = 0, faded = 0, solid = 0, gradient = 0, lines = 0;
  size_t most_curves = 0;
  double first_bar = -1, widest_bar = 0;
  for (const Tag& tag : movie.tags) {
    switch (tag.code) {
      case swf::kDefineShape3: {
        const ParsedShape s = ReadShape3(file, tag);
        EXPECT_EQ(s.end, tag.offset + tag.length) << "shape " << s.id;
        EXPECT_TRUE(defined.insert(s.id).second) << "shape id used twice";
        ExpectClosedAndBounded(s);
        solid += s.solid_fills;
        gradient += s.gradient_fills;
        lines += s.line_styles;
        size_t curves = 0;
        for (const ShapeEdge& e : s.edges) curves += e.curve;
        most_curves = std::max(most_curves, curves);
        break;
      }
      case swf::kPlaceObject2: {
        const Placement p = ReadPlaceObject2(file, tag);
        EXPECT_EQ(p.end, tag.offset + tag.length);
        if (p.flags & 0x01) {
          EXPECT_TRUE(depths.count(p.depth)) << "move on an empty depth " << p.depth;
          EXPECT_EQ(p.character, 0);
        } else {
          EXPECT_TRUE(defined.count(p.character)) << "character " << p.character;
          EXPECT_FALSE(depths.count(p.depth)) << "depth " << p.depth << " taken";
          depths[p.depth] = p.character;
        }
        if (p.alpha < 1) ++faded;
        if (p.depth == 7) {  // the longest bar
          if (first_bar < 0) first_bar = p.matrix.sx;
          widest_bar = std::max(widest_bar, p.matrix.sx);
        }
        break;
      }
      case swf::kRemoveObject2: {
        BitReader r(file, tag.offset, tag.offset + tag.length);
        const uint16_t depth = static_cast<uint16_t>(r.U16());
        EXPECT_EQ(depths.erase(depth), 1u) << "remove of empty depth " << depth;
        ++removes;
        break;
      }
      case swf::kShowFrame:
        EXPECT_EQ(tag.length, 0u);
        ++frames;
        break;
      default:
        break;
    }
  }
  EXPECT_EQ(frames, movie.frame_count);
  EXPECT_GE(removes, 1);
  EXPECT_GE(faded, 1);
  EXPECT_GE(solid, 1);
  EXPECT_GE(gradient, 1);
  EXPECT_GE(lines, 1);
  EXPECT_GT(most_curves, 100u) << "the title should be drawn from glyph curves";
  EXPECT_LT(first_bar, 0.05);
  EXPECT_GT(widest_bar, 0.9);
}

TEST(MovieWriter, FieldWidthsRoundTrip) {
  swf::MovieWriter writer(1, 40000, 12.5);
  swf::Shape shape;
  const int fill = shape.AddFill(swf::FillStyle::Linear(-500, 0, 500, 300, {{0, {}}, {255, {}}}));
  const int line = shape.AddLine({65535, {1, 2, 3, 4}});
  // Edges far beyond the 17 bits one edge record holds, on both sides of 0.
  shape.Rectangle(-300000, -3, 600001, 250000, fill, line);
  shape.MoveTo(0, 0, 0, fill, 0);
  shape.CurveTo(200000, -200000, 400000, 0);
  shape.LineTo(0, 0);
  // Single-bit and zero-length edges.
  shape.MoveTo(-1, -1, fill, 0, 0);
  shape.LineTo(-1, -1);
  shape.LineTo(0, -1);
  shape.LineTo(-1, -1);
  const uint16_t id = writer.DefineShape(shape);
  swf::Matrix m{0.004, -2.5, 0.5, -0.25, -123456, 7};
  const swf::ColourTransform fade{1, 0.5, 0, 0.25};
  writer.Place(65535, id, m, &fade);
  writer.Move(65535, {});
  writer.Remove(65535);
  writer.ShowFrame();
  const std::string file = writer.Finish();

  const Movie movie = ReadMovie(file);
  EXPECT_EQ(movie.file_length, file.size());
  EXPECT_EQ(movie.frame.xmax, 1);
  EXPECT_EQ(movie.frame.ymax, 40000);
  EXPECT_EQ(movie.frame_rate, 12.5);
  EXPECT_EQ(movie.frame_count, 1);
  ASSERT_EQ(movie.tags.size(), 7u);  // attributes, shape, place, move, remove, frame, end

  const ParsedShape s = ReadShape3(file, movie.tags[1]);
  EXPECT_EQ(s.end, movie.tags[1].offset + movie.tags[1].length);
  EXPECT_EQ(s.moves, 3);
  EXPECT_EQ(s.gradient_fills, 1);
  EXPECT_EQ(s.line_styles, 1);
  // Bounds grow by half the line width.
  EXPECT_EQ(s.bounds.xmin, -300000 - 32767);
  EXPECT_EQ(s.bounds.ymax, 250000 - 3 + 32767);
  ExpectClosedAndBounded(s);
  std::set<std::pair<int32_t, int32_t>> points;
  for (const ShapeEdge& e : s.edges) points.insert({e.x1, e.y1});
  for (auto corner :
       {std::pair{-300000, -3}, {-300000, 249997}, {300001, 249997}, {300001, -3}, {400000, 0}})
    EXPECT_TRUE(points.count(corner)) << corner.first << "," << corner.second;
  // Gradient from (-500, 0) to (500, 300): the square's x axis maps onto it.
  ASSERT_EQ(s.gradient_matrices.size(), 1u);
  EXPECT_NEAR(s.gradient_matrices[0].sx * 32768, 1000, 1);
  EXPECT_NEAR(s.gradient_matrices[0].r0 * 32768, 300, 1);
  EXPECT_EQ(s.gradient_matrices[0].tx, 0);
  EXPECT_EQ(s.gradient_matrices[0].ty, 150);

  const Placement place = ReadPlaceObject2(file, movie.tags[2]);
  EXPECT_EQ(place.depth, 65535);
  EXPECT_EQ(place.character, id);
  EXPECT_NEAR(place.matrix.sx, 0.004, 1 / 65536.0);
  EXPECT_NEAR(place.matrix.sy, -2.5, 1 / 65536.0);
  EXPECT_NEAR(place.matrix.r0, 0.5, 1 / 65536.0);
  EXPECT_NEAR(place.matrix.r1, -0.25, 1 / 65536.0);
  EXPECT_EQ(place.matrix.tx, -123456);
  EXPECT_EQ(place.matrix.ty, 7);
  EXPECT_EQ(place.alpha, 0.25);
  EXPECT_EQ(place.end, movie.tags[2].offset + movie.tags[2].length);

  const Placement move = ReadPlaceObject2(file, movie.tags[3]);
  EXPECT_EQ(move.flags, 0x05u);  // move with a matrix
  EXPECT_EQ(move.matrix.sx, 1);
  EXPECT_EQ(move.matrix.tx, 0);
  EXPECT_EQ(movie.tags[4].code, swf::kRemoveObject2);
}

TEST(MovieWriter, SignedFieldWidthsAndRangeErrors) {
  EXPECT_EQ(swf::SignedBits(0), 0);
  EXPECT_EQ(swf::SignedBits(1), 2);
  EXPECT_EQ(swf::SignedBits(-1), 1);
  EXPECT_EQ(swf::SignedBits(-2), 2);
  EXPECT_EQ(swf::SignedBits(255), 9);
  EXPECT_EQ(swf::SignedBits(-256), 9);
  EXPECT_EQ(swf::SignedBits(std::numeric_limits<int32_t>::max()), 32);
  EXPECT_EQ(swf::SignedBits(std::numeric_limits<int32_t>::min()), 32);

  swf::BitWriter bits;
  EXPECT_THROW(bits.Signed(8, 4), std::out_of_range);
  bits.Signed(-8, 4);
  bits.Unsigned(0b101, 3);
  EXPECT_EQ(bits.bytes(), std::string("\x8A", 1));

  swf::MovieWriter writer(100, 100, 24);
  EXPECT_THROW(writer.Place(1, 1, swf::Matrix{40000, 1, 0, 0, 0, 0}), std::out_of_range);
  const swf::ColourTransform bright{300, 1, 1, 1};
  EXPECT_THROW(writer.Move(1, {}, &bright), std::out_of_range);
  swf::Shape too_many_stops;
  too_many_stops.AddFill(swf::FillStyle::Linear(0, 0, 1, 1, std::vector<swf::GradientStop>(9)));
  EXPECT_THROW(writer.DefineShape(too_many_stops), std::invalid_argument);
}

}  // namespace
