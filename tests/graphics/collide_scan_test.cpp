// The scan converter and the pixel test of two placed quads, without any
// display: quads are given their corners directly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "graphics/collide/quad.h"
#include "graphics/collide/scan_polygons.h"
#include "runtime/runtime_error.h"

namespace {

// What the callback saw of one row: every active polygon's left and right
// values.
struct Row {
  int y;
  std::vector<std::vector<float>> edges;  // per polygon: left values, then right values
  bool operator==(const Row&) const = default;
};

std::vector<Row> Scan(const std::vector<std::vector<float>>& polygons, int values,
                      int firstRow = INT_MIN, int endRow = INT_MAX) {
  std::vector<scanshape> shapes;
  for (const auto& vertices : polygons) shapes.push_back({vertices, nullptr});
  std::vector<Row> rows;
  ScanPolygons(
      shapes, values,
      [&](rpoly* const* active, int count, int y) {
        Row row{y, {}};
        for (int i = 0; i < count; ++i) {
          std::vector<float> edges(active[i]->left.value, active[i]->left.value + values);
          edges.insert(edges.end(), active[i]->right.value, active[i]->right.value + values);
          row.edges.push_back(edges);
        }
        rows.push_back(row);
        return 0;
      },
      firstRow, endRow);
  return rows;
}

// The polygon with its vertex order reversed.
std::vector<float> Reversed(const std::vector<float>& vertices, int values) {
  std::vector<float> reversed;
  for (size_t at = vertices.size(); at > 0; at -= static_cast<size_t>(values)) {
    reversed.insert(reversed.end(), vertices.begin() + static_cast<ptrdiff_t>(at) - values,
                    vertices.begin() + static_cast<ptrdiff_t>(at));
  }
  return reversed;
}

TEST(ScanPolygons, EdgesAreInterpolatedAtRowCentresWhicheverWayRound) {
  // x, y, v: v runs from 0 at the top edge to 3 at the bottom.
  const std::vector<float> square = {2, 1, 0, 6, 1, 0, 6, 4, 3, 2, 4, 3};
  const std::vector<Row> rows = Scan({square}, 3);
  ASSERT_EQ(rows.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    const float v = static_cast<float>(i) + 0.5f;
    const float y = static_cast<float>(i) + 1.5f;
    EXPECT_EQ(rows[i], (Row{1 + i, {{2, y, v, 6, y, v}}})) << "row " << i;
  }
  EXPECT_EQ(Scan({Reversed(square, 3)}, 3), rows) << "the other vertex order";
  // A scan that starts below the top starts its edges there.
  EXPECT_EQ(Scan({square}, 3, 2, 3), std::vector<Row>{rows[1]});

  // A negative callback result stops the scan and is its result.
  const scanshape shape{square, nullptr};
  int calls = 0;
  EXPECT_EQ(ScanPolygons({&shape, 1}, 3, [&](rpoly* const*, int, int) { return ++calls, -7; }), -7);
  EXPECT_EQ(calls, 1);
}

TEST(ScanPolygons, AnyNumberOfVerticesAndPolygons) {
  // The square 0..10 with two more vertices on each side: 12 in all.
  std::vector<float> square;
  const float corners[][2] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}};
  for (int side = 0; side < 4; ++side) {
    for (int step = 0; step < 3; ++step) {
      const float t = static_cast<float>(step) / 3;
      for (int c = 0; c < 2; ++c)
        square.push_back(corners[side][c] + (corners[side + 1][c] - corners[side][c]) * t);
    }
  }
  for (const auto& polygon : {square, Reversed(square, 2)}) {
    const std::vector<Row> rows = Scan({polygon}, 2);
    ASSERT_EQ(rows.size(), 10u);
    for (const Row& row : rows) {
      ASSERT_EQ(row.edges.size(), 1u);
      EXPECT_FLOAT_EQ(row.edges[0][0], 0) << "left at row " << row.y;
      EXPECT_FLOAT_EQ(row.edges[0][2], 10) << "right at row " << row.y;
    }
  }

  // Twelve squares, each one row lower than the one before: on row 11 all
  // of them are active, in the order they started.
  std::vector<std::vector<float>> squares;
  for (int i = 0; i < 12; ++i) {
    const float x = static_cast<float>(i) * 20, y = static_cast<float>(i);
    squares.push_back({x, y, x + 5, y, x + 5, y + 12, x, y + 12});
  }
  const std::vector<Row> rows = Scan(squares, 2);
  ASSERT_EQ(rows.size(), 23u);
  ASSERT_EQ(rows[11].edges.size(), 12u);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(rows[11].edges[i][0], i * 20.0f);
}

TEST(ScanPolygons, ValuesPerVertexOutsideWhatEdgesHoldAreRefused) {
  const std::vector<float> triangle(5 * 3, 1.0f);
  const scanshape shape{triangle, nullptr};
  for (int values : {0, 1, SCAN_MAX_VALUES + 1}) {
    EXPECT_THROW(ScanPolygons({&shape, 1}, values, [](rpoly* const*, int, int) { return 0; }),
                 RuntimeError)
        << values;
  }
}

// A width x height RGBA pixmap whose pixels have alpha(x, y).
template <class F>
Ref<TPixmap> Pixels(int width, int height, F alpha) {
  Ref<TPixmap> pixmap = CreatePixmap(width, height, PIXFMT_RGBA32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      pixmap->WritePixel(x, y, static_cast<int>(static_cast<uint32_t>(alpha(x, y)) << 24));
    }
  }
  return pixmap;
}

Ref<TPixmap> Opaque(int width, int height) {
  return Pixels(width, height, [](int, int) { return 255; });
}

Ref<TPixmap> Disc(int diameter) {
  const float r = static_cast<float>(diameter) / 2;
  return Pixels(diameter, diameter,
                [r](int x, int y) { return std::hypot(x + 0.5f - r, y + 0.5f - r) < r ? 255 : 0; });
}

// The pixmap at its own size with its top-left at (x, y), turned by degrees
// around that corner; a null pixmap is a solid w x h shape.
TQuad Placed(const Ref<TPixmap>& pixmap, float x, float y, float degrees = 0, float w = 0,
             float h = 0) {
  if (pixmap) w = static_cast<float>(pixmap->Width()), h = static_cast<float>(pixmap->Height());
  const float c = std::cos(degrees * std::numbers::pi_v<float> / 180);
  const float s = std::sin(degrees * std::numbers::pi_v<float> / 180);
  auto cx = [&](float lx, float ly) { return x + lx * c - ly * s; };
  auto cy = [&](float lx, float ly) { return y + lx * s + ly * c; };
  TQuad quad;
  quad.pixmap = pixmap;
  quad.SetCorners(cx(0, 0), cy(0, 0), cx(w, 0), cy(w, 0), cx(w, h), cy(w, h), cx(0, h), cy(0, h));
  return quad;
}

TEST(QuadsOverlap, SpansMeetOnlyWhenTheyShareAPixel) {
  const Ref<TPixmap> square = Opaque(16, 16);
  auto overlap = [&](float x, float y) {
    return QuadsOverlap(Placed(square, 0, 0), Placed(square, x, y));
  };
  EXPECT_TRUE(overlap(15, 0));
  EXPECT_FALSE(overlap(16, 0));
  EXPECT_TRUE(overlap(0, 15));
  EXPECT_FALSE(overlap(0, 16));
  EXPECT_TRUE(overlap(-15, -15));
  EXPECT_FALSE(overlap(-16, 5));
  // Fractions truncate to the pixels drawing covers.
  EXPECT_TRUE(QuadsOverlap(Placed(square, 0.5f, 0), Placed(square, 15.9f, 0)));
  // Solid shapes against each other and against an image.
  EXPECT_TRUE(QuadsOverlap(Placed(nullptr, 0, 0, 0, 10, 10), Placed(nullptr, 9, 9, 0, 10, 10)));
  EXPECT_FALSE(QuadsOverlap(Placed(nullptr, 0, 0, 0, 10, 10), Placed(nullptr, 10, 0, 0, 10, 10)));
  EXPECT_TRUE(QuadsOverlap(Placed(square, 0, 0), Placed(nullptr, 15, 15, 0, 1, 1)));
}

TEST(QuadsOverlap, OnlyTexelsOfAlpha128OrMoreTouch) {
  const Ref<TPixmap> disc = Disc(24);
  // The boxes overlap by 4 x 4 pixels in the discs' empty corners.
  EXPECT_FALSE(QuadsOverlap(Placed(disc, 0, 0), Placed(disc, 20, 20)));
  EXPECT_TRUE(QuadsOverlap(Placed(disc, 0, 0), Placed(disc, 16, 16)));
  EXPECT_TRUE(QuadsOverlap(Placed(disc, 0, 0), Placed(disc, 23, 0))) << "the middle rows meet";
  EXPECT_FALSE(QuadsOverlap(Placed(disc, 0, 0), Placed(nullptr, 0, 0, 0, 3, 3)));
  // Turned by 45 degrees about its corner, a 16 x 16 square reaches from
  // x = -11.3 to 11.3 and down to y = 22.6; its left corner stays clear of
  // (-11, 0) .. (-9, 2).
  const Ref<TPixmap> square = Opaque(16, 16);
  EXPECT_TRUE(QuadsOverlap(Placed(square, 0, 0, 45), Placed(nullptr, -8, 10, 0, 2, 2)));
  EXPECT_FALSE(QuadsOverlap(Placed(square, 0, 0, 45), Placed(nullptr, -11, 0, 0, 2, 2)));

  for (int alpha : {127, 128}) {
    const Ref<TPixmap> dot =
        Pixels(8, 8, [alpha](int x, int y) { return x + y == 14 ? alpha : 0; });
    EXPECT_EQ(QuadsOverlap(Placed(dot, 0, 0), Placed(Opaque(4, 4), 7, 7)), alpha >= 128) << alpha;
  }
  // Pixmaps without alpha are opaque everywhere.
  const Ref<TPixmap> rgb = Opaque(4, 4)->Convert(PIXFMT_RGB24);
  EXPECT_TRUE(QuadsOverlap(Placed(rgb, 0, 0), Placed(rgb, 3, 3)));
}

TEST(QuadsOverlap, EmptyAndWildShapesGiveAnAnswer) {
  const Ref<TPixmap> square = Opaque(16, 16);
  // A pixmap without pixels stretched over a quad covers nothing, whatever
  // the memory around it holds.
  uint8_t opaque[64];
  std::fill(std::begin(opaque), std::end(opaque), 0xFF);
  TQuad empty = Placed(square, 0, 0);
  empty.pixmap = CreateStaticPixmap(opaque + 32, 0, 0, 16, PIXFMT_RGBA32);
  EXPECT_FALSE(QuadsOverlap(empty, Placed(square, 0, 0)));
  EXPECT_FALSE(QuadsOverlap(Placed(nullptr, 0, 0, 0, 0, 10), Placed(square, 0, 0)));
  EXPECT_FALSE(QuadsOverlap(Placed(nullptr, NAN, 0, 0, 10, 10), Placed(square, 0, 0)));
  EXPECT_FALSE(QuadsOverlap(Placed(square, 0, 0, NAN), Placed(square, 5, 5, NAN)));
  // Corners beyond the scan's range are held at its edge: two shapes that
  // reach far beyond it still meet where both are.
  TQuad huge = Placed(square, 0, 0);
  huge.SetCorners(0, 0, 1e30f, 0, 1e30f, 1e30f, 0, 1e30f);
  EXPECT_TRUE(QuadsOverlap(huge, Placed(square, 5, 5)));
  EXPECT_FALSE(QuadsOverlap(huge, Placed(square, -16, 5)));
}

}  // namespace
