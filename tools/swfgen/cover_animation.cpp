#include "tools/swfgen/cover_animation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "tools/swfgen/swf_writer.h"

namespace varnokel::swf {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int32_t kTwips = 20;

int32_t Tw(double pixels) {
  return static_cast<int32_t>(std::lround(pixels * kTwips));
}

// Depths of the display list, back to front.
enum Depth : uint16_t {
  kBackground = 1,
  kTrackFirst = 2,  // five bar tracks
  kBarFirst = 7,    // five growing bars
  kTitle = 12,
  kSubtitle = 13,
  kCrosshair = 20,
  kHit = 21,
};

struct Box {
  double x0, y0, x1, y1;
};

Box Bounds(const Outline& outline) {
  Box b{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
        std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest()};
  for (const OutlineSegment& s : outline) {
    b.x0 = std::min(b.x0, s.x);
    b.x1 = std::max(b.x1, s.x);
    b.y0 = std::min(b.y0, s.y);
    b.y1 = std::max(b.y1, s.y);
  }
  return b;
}

// Twice the signed area of the contour starting at `begin` (its end points
// only); negative for contours that run counter-clockwise on a y-down screen.
double ContourArea(const Outline& outline, size_t begin, size_t end) {
  double sum = 0;
  for (size_t i = begin; i < end; ++i) {
    const OutlineSegment& a = outline[i];
    const OutlineSegment& b = outline[i + 1 < end ? i + 1 : begin];
    sum += a.x * b.y - b.x * a.y;
  }
  return sum;
}

// Adds `outline` to `shape`, scaled by `scale` and moved by (dx, dy) pixels.
// Font outlines run one way around the ink and the other way around holes, so
// the ink lies on the same side of every edge; that side is taken from the
// largest contour, which is an outer one.
void AddOutline(Shape& shape, const Outline& outline, double scale, double dx, double dy,
                int fill) {
  double largest = 0;
  for (size_t i = 0; i < outline.size();) {
    size_t j = i + 1;
    while (j < outline.size() && outline[j].kind != OutlineSegment::kMove) ++j;
    const double area = ContourArea(outline, i, j);
    if (std::abs(area) > std::abs(largest)) largest = area;
    i = j;
  }
  const bool ink_left = largest < 0;
  auto X = [&](double x) { return Tw(x * scale + dx); };
  auto Y = [&](double y) { return Tw(y * scale + dy); };
  int32_t start_x = 0, start_y = 0, last_x = 0, last_y = 0;
  bool open = false;
  auto close = [&] {
    if (open && (last_x != start_x || last_y != start_y)) shape.LineTo(start_x, start_y);
  };
  for (const OutlineSegment& s : outline) {
    switch (s.kind) {
      case OutlineSegment::kMove:
        close();
        start_x = X(s.x);
        start_y = Y(s.y);
        shape.MoveTo(start_x, start_y, ink_left ? fill : 0, ink_left ? 0 : fill, 0);
        open = true;
        break;
      case OutlineSegment::kLine:
        shape.LineTo(X(s.x), Y(s.y));
        break;
      case OutlineSegment::kQuad:
        shape.CurveTo(X(s.cx), Y(s.cy), X(s.x), Y(s.y));
        break;
    }
    last_x = X(s.x);
    last_y = Y(s.y);
  }
  close();
}

// Text outline fitted into `box` (pixels), keeping its aspect, left aligned
// and vertically centred.
uint16_t DefineText(MovieWriter& movie, const Outline& outline, const Box& box,
                    const FillStyle& fill) {
  Shape shape;
  const int f = shape.AddFill(fill);
  if (!outline.empty()) {
    const Box b = Bounds(outline);
    const double w = std::max(b.x1 - b.x0, 1.0), h = std::max(b.y1 - b.y0, 1.0);
    const double scale = std::min((box.x1 - box.x0) / w, (box.y1 - box.y0) / h);
    const double dy = box.y0 + ((box.y1 - box.y0) - h * scale) / 2 - b.y0 * scale;
    AddOutline(shape, outline, scale, box.x0 - b.x0 * scale, dy, f);
  }
  return movie.DefineShape(shape);
}

uint16_t DefineBackground(MovieWriter& movie) {
  Shape shape;
  const int f = shape.AddFill(FillStyle::Linear(0, 0, 0, Tw(kStageHeight),
                                                {{0, {16, 34, 56, 255}}, {255, {6, 14, 26, 255}}}));
  const int rule = shape.AddFill(FillStyle::Solid({70, 110, 150, 255}));
  shape.Rectangle(0, 0, Tw(kStageWidth), Tw(kStageHeight), f);
  shape.Rectangle(0, Tw(kStageHeight - 3), Tw(kStageWidth), Tw(3), rule);
  return movie.DefineShape(shape);
}

// Crosshair around (0, 0): a ring, four ticks and a centre dot.
uint16_t DefineCrosshair(MovieWriter& movie) {
  Shape shape;
  const Rgba red{255, 72, 64, 255};
  const int line = shape.AddLine({static_cast<uint16_t>(Tw(2)), red});
  const int fill = shape.AddFill(FillStyle::Solid(red));
  shape.Ellipse(0, 0, Tw(15), Tw(15), 0, line);
  shape.Rectangle(Tw(-1), Tw(-22), Tw(2), Tw(11), fill);
  shape.Rectangle(Tw(-1), Tw(11), Tw(2), Tw(11), fill);
  shape.Rectangle(Tw(-22), Tw(-1), Tw(11), Tw(2), fill);
  shape.Rectangle(Tw(11), Tw(-1), Tw(11), Tw(2), fill);
  shape.Ellipse(0, 0, Tw(2), Tw(2), fill);
  return movie.DefineShape(shape);
}

// A burst shown where the crosshair hits: a translucent disc and a bright core.
uint16_t DefineHit(MovieWriter& movie) {
  Shape shape;
  const int glow = shape.AddFill(FillStyle::Solid({255, 200, 80, 110}));
  const int core = shape.AddFill(FillStyle::Solid({255, 240, 200, 255}));
  shape.Ellipse(0, 0, Tw(13), Tw(13), glow);
  shape.Ellipse(0, 0, Tw(5), Tw(5), core);
  return movie.DefineShape(shape);
}

constexpr double kBarX = 398, kBarWidth = 176, kBarHeight = 11;
constexpr std::array<double, 5> kBarShare = {0.93, 0.74, 0.56, 0.39, 0.22};

double BarY(int i) {
  return 17 + i * 18.5;
}

// How far bar `i` has grown at `frame`: it grows (easing out) after a short
// stagger, holds, and shrinks again before the movie starts over.
double BarGrowth(int i, int frame) {
  const int start = 4 + 5 * i, grown = start + 26, shrink = kFrameCount - 10;
  double t = 0;
  if (frame >= shrink) {
    t = 1 - (frame - shrink + 1) / 10.0;
  } else if (frame >= grown) {
    t = 1;
  } else if (frame > start) {
    const double u = (frame - start) / double(grown - start);
    t = 1 - (1 - u) * (1 - u) * (1 - u);
  }
  return std::max(t * kBarShare[i], 0.004);
}

Matrix BarMatrix(int i, int frame) {
  Matrix m = Matrix::Translate(Tw(kBarX), Tw(BarY(i)));
  m.sx = BarGrowth(i, frame);
  return m;
}

// The crosshair follows a figure eight over the whole banner, once per loop.
Matrix CrosshairMatrix(int frame) {
  const double t = 2 * kPi * frame / kFrameCount;
  const double x = kStageWidth / 2.0 + 250 * std::sin(t);
  const double y = kStageHeight / 2.0 + 36 * std::sin(2 * t + 0.6);
  return Matrix::Translate(Tw(x), Tw(y));
}

}  // namespace

std::string BuildCoverMovie(const Outline& title, const Outline& subtitle) {
  MovieWriter movie(Tw(kStageWidth), Tw(kStageHeight), kFrameRate);
  movie.SetBackground({6, 14, 26, 255});

  const uint16_t background = DefineBackground(movie);
  const uint16_t title_shape =
      DefineText(movie, title, {14, 14, 380, 80},
                 FillStyle::Linear(0, Tw(20), 0, Tw(78),
                                   {{0, {255, 226, 140, 255}}, {255, {240, 130, 20, 255}}}));
  const uint16_t subtitle_shape =
      DefineText(movie, subtitle, {16, 88, 380, 106}, FillStyle::Solid({150, 180, 205, 255}));

  Shape track;
  track.Rectangle(0, 0, Tw(kBarWidth), Tw(kBarHeight),
                  track.AddFill(FillStyle::Solid({32, 54, 80, 255})));
  const uint16_t track_shape = movie.DefineShape(track);
  Shape bar;
  bar.Rectangle(
      0, 0, Tw(kBarWidth), Tw(kBarHeight),
      bar.AddFill(FillStyle::Linear(0, 0, Tw(kBarWidth), 0,
                                    {{0, {40, 170, 160, 255}}, {255, {150, 240, 190, 255}}})));
  const uint16_t bar_shape = movie.DefineShape(bar);
  const uint16_t crosshair = DefineCrosshair(movie);
  const uint16_t hit = DefineHit(movie);

  movie.Place(kBackground, background, {});
  for (int i = 0; i < 5; ++i) {
    movie.Place(kTrackFirst + i, track_shape, Matrix::Translate(Tw(kBarX), Tw(BarY(i))));
    movie.Place(kBarFirst + i, bar_shape, BarMatrix(i, 0));
  }
  movie.Place(kTitle, title_shape, {});
  movie.Place(kSubtitle, subtitle_shape, {});
  movie.Place(kCrosshair, crosshair, CrosshairMatrix(0));

  // Hits land at these frames and fade out over the next four.
  constexpr std::array<int, 3> kHitFrames = {20, 44, 68};
  constexpr int kHitLength = 4;
  for (int frame = 0; frame < kFrameCount; ++frame) {
    if (frame > 0) {
      for (int i = 0; i < 5; ++i) {
        if (BarGrowth(i, frame) != BarGrowth(i, frame - 1))
          movie.Move(kBarFirst + i, BarMatrix(i, frame));
      }
      movie.Move(kCrosshair, CrosshairMatrix(frame));
    }
    for (int start : kHitFrames) {
      const int age = frame - start;
      if (age == 0) {
        movie.Place(kHit, hit, CrosshairMatrix(frame));
      } else if (age > 0 && age < kHitLength) {
        Matrix m = CrosshairMatrix(start);
        m.sx = m.sy = 1 + 0.35 * age;
        const ColourTransform fade{1, 1, 1, 1 - age / double(kHitLength)};
        movie.Move(kHit, m, &fade);
      } else if (age == kHitLength) {
        movie.Remove(kHit);
      }
    }
    movie.ShowFrame();
  }
  return movie.Finish();
}

}  // namespace varnokel::swf
