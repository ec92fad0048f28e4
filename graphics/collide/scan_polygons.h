#pragma once
// Scan conversion of a few convex polygons together, row by row. Each
// polygon's vertices carry the same number of values (x and y first, then
// anything to interpolate, such as texture coordinates). For every row where
// at least one polygon is active, a callback sees the active polygons with
// their left and right edge values at that row. Nothing is allocated.

#include <algorithm>
#include <climits>
#include <functional>
#include <span>

#include "pixmap/pixmap.h"

constexpr int SCAN_MAX_VALUES = 4;
constexpr int SCAN_LIMIT = 1 << 24;
constexpr int SCAN_MAX_VERTICES = 8;
constexpr int SCAN_MAX_POLYGONS = 8;

// Truncation towards zero that stays defined for any float: NaN gives 0 and
// values beyond +-2^24 stop there.
inline int ScanTrunc(float v) {
  if (v != v) return 0;
  return static_cast<int>(
      std::clamp(v, -static_cast<float>(SCAN_LIMIT), static_cast<float>(SCAN_LIMIT)));
}

struct scanedge {
  float value[SCAN_MAX_VALUES] = {};  // at the centre of the current row
  float delta[SCAN_MAX_VALUES] = {};  // per row
  int to = 0;                         // the vertex the edge runs to
};

struct rpoly {
  enum : int { NOT_STARTED = 0, ACTIVE = 1, FINISHED = 2 };

  float vertices[SCAN_MAX_VERTICES * SCAN_MAX_VALUES] = {};
  int values = 0;
  int count = 0;  // vertices
  const TPixmap* pixmap = nullptr;
  int state = NOT_STARTED;
  int top = 0;  // the row of the top vertex
  scanedge left, right;

  int Row(int vertex) const { return ScanTrunc(vertices[vertex * values + 1]); }
};

// Puts the vertices in the order the scan expects: a polygon whose fan
// triangles all have a non-negative cross product is reversed.
void OrientPolygon(float* vertices, int count, int values);

struct scanshape {
  std::span<const float> vertices;  // at most SCAN_MAX_VERTICES of them
  const TPixmap* pixmap;
};

// The callback gets the active polygons in the order they became active, how
// many there are, and the row; a negative result stops the scan and becomes
// its result. Otherwise the result is the last callback result, 0 if it never
// ran. At most SCAN_MAX_POLYGONS shapes. Only rows firstRow..endRow - 1 are
// scanned; the edges start at the first of them.
using ScanRow = std::function<int(rpoly* const* active, int count, int y)>;
int ScanPolygons(std::span<const scanshape> shapes, int values, const ScanRow& row,
                 int firstRow = INT_MIN, int endRow = INT_MAX);
