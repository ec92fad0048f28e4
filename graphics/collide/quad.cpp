#include "graphics/collide/quad.h"

#include <algorithm>
#include <vector>

#include "graphics/collide/scan_polygons.h"

namespace {

constexpr int ALPHA_OPAQUE = 128;
constexpr int VALUES = 4;  // x, y, u, v

// Which pixels of the row under test are covered; grows, never shrinks.
std::vector<int32_t>& Scratch() {
  static std::vector<int32_t> scratch;
  return scratch;
}

bool Opaque(const TPixmap& pixmap, int column, int row) {
  // RGBA and BGRA hold alpha in their fourth byte; other formats go the
  // general way (without alpha they read as opaque).
  if (BYTES_PER_PIXEL[pixmap.Format()] == 4) {
    return pixmap.PixelPtr(column, row)[3] >= ALPHA_OPAQUE;
  }
  return (static_cast<uint32_t>(pixmap.ReadPixel(column, row)) >> 24) >= ALPHA_OPAQUE;
}

// Marks the polygon's covered pixels of the row's common span; -1 as soon
// as one was marked already.
int MarkRow(const rpoly& p, int32_t* marks, int start, int n) {
  if (!p.pixmap) {
    for (int i = 0; i < n; ++i) {
      if (marks[i]) return -1;
      marks[i] = -1;
    }
    return 0;
  }
  const int f = ScanTrunc(p.left.value[0]), g = ScanTrunc(p.right.value[0]);
  if (g - f < 1) return 0;
  const float du = (p.right.value[2] - p.left.value[2]) / static_cast<float>(g - f);
  const float dv = (p.right.value[3] - p.left.value[3]) / static_cast<float>(g - f);
  const float offset = static_cast<float>(start - f) + 0.5f;
  float u = p.left.value[2] + offset * du;
  float v = p.left.value[3] + offset * dv;
  const TPixmap& pixmap = *p.pixmap;
  const int width = pixmap.Width(), height = pixmap.Height();
  // An empty pixmap has no opaque texel.
  if (width < 1 || height < 1) return 0;
  // Not >= 0 catches NaN as well as negative values.
  auto clamp01 = [](float t) { return !(t >= 0) ? 0.0f : std::min(t, 1.0f); };
  for (int i = 0; i < n; ++i, u += du, v += dv) {
    const int column = std::min(ScanTrunc(clamp01(u) * static_cast<float>(width)), width - 1);
    const int row = std::min(ScanTrunc(clamp01(v) * static_cast<float>(height)), height - 1);
    if (!Opaque(pixmap, column, row)) continue;
    if (marks[i]) return -1;
    marks[i] = -1;
  }
  return 0;
}

// The row test of two scanned quads: only the columns where both spans meet
// are looked at.
int PixelTest(rpoly* const* active, int count, int) {
  if (count < 2) return 0;
  const rpoly& p = *active[0];
  const rpoly& q = *active[1];
  const int pl = ScanTrunc(p.left.value[0]), pr = ScanTrunc(p.right.value[0]);
  const int ql = ScanTrunc(q.left.value[0]), qr = ScanTrunc(q.right.value[0]);
  if (!(ql < pr && pl < qr)) return 0;
  const int start = std::max(pl, ql);
  const int n = std::min(pr, qr) - start;
  if (n <= 0) return 0;
  std::vector<int32_t>& scratch = Scratch();
  if (static_cast<int>(scratch.size()) < n) scratch.resize(static_cast<size_t>(n));
  std::fill_n(scratch.begin(), n, 0);
  for (int i = 0; i < count; ++i) {
    if (MarkRow(*active[i], scratch.data(), start, n) < 0) return -1;
  }
  return 0;
}

}  // namespace

bool QuadsOverlap(const TQuad& a, const TQuad& b) {
  if (!(a.maxX >= b.minX && a.maxY >= b.minY && a.minX <= b.maxX && a.minY <= b.maxY)) {
    return false;
  }
  const scanshape shapes[] = {{a.vertices, a.pixmap.Get()}, {b.vertices, b.pixmap.Get()}};
  // Rows outside both bounding boxes cannot hold a common pixel.
  const int firstRow = ScanTrunc(std::max(a.minY, b.minY));
  const int endRow = ScanTrunc(std::min(a.maxY, b.maxY)) + 1;
  return ScanPolygons(shapes, VALUES, PixelTest, firstRow, endRow) != 0;
}

void TQuad::SetCorners(float x0, float y0, float x1, float y1, float x2, float y2, float x3,
                       float y3) {
  const float corners[16] = {x0, y0, 0, 0, x1, y1, 1, 0, x2, y2, 1, 1, x3, y3, 0, 1};
  std::copy(std::begin(corners), std::end(corners), vertices);
  minX = std::min({x0, x1, x2, x3});
  maxX = std::max({x0, x1, x2, x3});
  minY = std::min({y0, y1, y2, y3});
  maxY = std::max({y0, y1, y2, y3});
}
