#pragma once
// Scan conversion of convex polygons together, row by row. Each polygon's
// vertices carry the same number of values (x and y first, then anything to
// interpolate, such as texture coordinates). For every row where at least one
// polygon is active, a callback sees the active polygons with their left and
// right edge values at that row. Any number of polygons and vertices; up to
// SCAN_INLINE_POLYGONS polygons nothing is allocated.

#include <algorithm>
#include <climits>
#include <functional>
#include <span>

#include "pixmap/pixmap.h"

constexpr int SCAN_MAX_VALUES = 4;
constexpr int SCAN_LIMIT = 1 << 24;
constexpr int SCAN_INLINE_POLYGONS = 8;

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

  const float* vertices = nullptr;  // the shape's own, never copied
  int values = 0;
  int count = 0;          // vertices
  bool reversed = false;  // oriented by walking the shape's vertices backwards
  const TPixmap* pixmap = nullptr;
  int state = NOT_STARTED;
  int top = 0;  // the row of the top vertex
  scanedge left, right;

  // Vertex i of the oriented polygon.
  const float* Vertex(int i) const { return vertices + (reversed ? count - 1 - i : i) * values; }
  int Row(int vertex) const { return ScanTrunc(Vertex(vertex)[1]); }
};

// Whether the scan walks these vertices in reverse (instead of reordering
// them): when every fan triangle has a non-negative cross product. A quad of
// an unrotated, unmirrored image on the y-down screen keeps its order.
bool PolygonNeedsReversing(const float* vertices, int count, int values);

struct scanshape {
  std::span<const float> vertices;  // count * values floats; they must outlive the scan
  const TPixmap* pixmap;
};

// The callback gets the active polygons in the order they became active, how
// many there are, and the row; a negative result stops the scan and becomes
// its result. Otherwise the result is the last callback result, 0 if it never
// ran. Only rows firstRow..endRow - 1 are scanned; the edges start at the
// first of them. values must be 2..SCAN_MAX_VALUES (a run-time error
// otherwise).
using ScanRow = std::function<int(rpoly* const* active, int count, int y)>;
int ScanPolygons(std::span<const scanshape> shapes, int values, const ScanRow& row,
                 int firstRow = INT_MIN, int endRow = INT_MAX);
