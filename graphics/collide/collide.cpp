#include "graphics/collide/collide.h"

#include <algorithm>
#include <array>
#include <memory>

#include "graphics/collide/quad.h"
#include "graphics/collide/scan_polygons.h"
#include "graphics/draw2d/draw_state.h"

namespace {

constexpr int LAYER_COUNT = 32;
constexpr int ALPHA_OPAQUE = 128;
constexpr int VALUES = 4;  // x, y, u, v

// The quads of every layer and the free ones; they are recycled, never freed.
struct collisionstate {
  std::array<TQuad*, LAYER_COUNT> layers{};
  TQuad* free = nullptr;
  std::vector<std::unique_ptr<TQuad>> quads;
  // Which pixels of the row under test are covered; grows, never shrinks.
  std::vector<int32_t> scratch;
};

collisionstate& State() {
  static collisionstate state;
  return state;
}

TQuad* TakeQuad() {
  collisionstate& s = State();
  if (TQuad* quad = s.free) {
    s.free = quad->next;
    quad->next = nullptr;
    return quad;
  }
  return s.quads.emplace_back(std::make_unique<TQuad>()).get();
}

// Places the rectangle (w x h at anchor offset (hx, hy)) at (x, y) as
// drawing would, in a quad from the free list.
TQuad* MakeQuad(Ref<TPixmap> pixmap, float x, float y, float w, float h, float hx, float hy,
                const Ref<Object>& id) {
  float ox, oy;
  GetDrawOrigin(ox, oy);
  const DrawMatrix m = CollisionTransform();
  const float tx = x + ox, ty = y + oy;
  auto cx = [&](float lx, float ly) { return tx + lx * m.ix + ly * m.iy; };
  auto cy = [&](float lx, float ly) { return ty + lx * m.jx + ly * m.jy; };
  TQuad* quad = TakeQuad();
  quad->id = id;
  quad->pixmap = std::move(pixmap);
  quad->SetCorners(cx(hx, hy), cy(hx, hy), cx(w + hx, hy), cy(w + hx, hy), cx(w + hx, h + hy),
                   cy(w + hx, h + hy), cx(hx, h + hy), cy(hx, h + hy));
  return quad;
}

TQuad* ImageQuad(const Ref<TImage>& image, float x, float y, int frame, const Ref<Object>& id) {
  return MakeQuad(image->Lock(frame, 1, 0), x, y, static_cast<float>(image->width),
                  static_cast<float>(image->height), -image->handleX, -image->handleY, id);
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
  std::vector<int32_t>& scratch = State().scratch;
  if (static_cast<int>(scratch.size()) < n) scratch.resize(static_cast<size_t>(n));
  std::fill_n(scratch.begin(), n, 0);
  for (int i = 0; i < count; ++i) {
    if (MarkRow(*active[i], scratch.data(), start, n) < 0) return -1;
  }
  return 0;
}

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

CollisionIds Collide(TQuad* quad, uint32_t collideMask, uint32_t writeMask) {
  collisionstate& s = State();
  CollisionIds hits;
  for (int n = 0; n < LAYER_COUNT; ++n) {
    if (!(collideMask >> n & 1)) continue;
    for (TQuad* other = s.layers[n]; other; other = other->next) {
      if (QuadsOverlap(*quad, *other)) hits.push_back(other->id);
    }
  }
  for (int n = 0; n < LAYER_COUNT; ++n) {
    if (!(writeMask >> n & 1)) continue;
    TQuad* copy = TakeQuad();
    copy->id = quad->id;
    copy->pixmap = quad->pixmap;
    std::copy(std::begin(quad->vertices), std::end(quad->vertices), copy->vertices);
    copy->minX = quad->minX, copy->minY = quad->minY;
    copy->maxX = quad->maxX, copy->maxY = quad->maxY;
    copy->next = s.layers[n];
    s.layers[n] = copy;
  }
  // The placed quad itself goes back at once.
  quad->id = nullptr;
  quad->pixmap = nullptr;
  quad->next = s.free;
  s.free = quad;
  return hits;
}

}  // namespace

void ClearCollisionLayers(uint32_t mask) {
  collisionstate& s = State();
  for (int n = 0; n < LAYER_COUNT; ++n) {
    if (mask != 0 && !(mask >> n & 1)) continue;
    TQuad* head = s.layers[n];
    if (!head) continue;
    TQuad* last = head;
    for (TQuad* quad = head; quad; quad = quad->next) {
      // Free quads hold on to nothing.
      quad->id = nullptr;
      quad->pixmap = nullptr;
      last = quad;
    }
    last->next = s.free;
    s.free = head;
    s.layers[n] = nullptr;
  }
}

CollisionIds CollideImageFrame(const Ref<TImage>& image, float x, float y, int frame,
                               uint32_t collideMask, uint32_t writeMask, const Ref<Object>& id) {
  return Collide(ImageQuad(image, x, y, frame, id), collideMask, writeMask);
}

CollisionIds CollideRectangle(float x, float y, float width, float height, uint32_t collideMask,
                              uint32_t writeMask, const Ref<Object>& id) {
  return Collide(MakeQuad(nullptr, x, y, width, height, 0, 0, id), collideMask, writeMask);
}

int ImagesOverlap(const Ref<TImage>& image1, float x1, float y1, int frame1,
                  const Ref<TImage>& image2, float x2, float y2, int frame2) {
  ClearCollisionLayers(COLLISION_LAYER_31);
  CollideImageFrame(image1, x1, y1, frame1, 0, COLLISION_LAYER_31, nullptr);
  return CollideImageFrame(image2, x2, y2, frame2, COLLISION_LAYER_31, 0, nullptr).empty() ? 0 : 1;
}

int ImagesOverlapTransformed(const Ref<TImage>& image1, float x1, float y1, int frame1,
                             float rotation1, float sx1, float sy1, const Ref<TImage>& image2,
                             float x2, float y2, int frame2, float rotation2, float sx2,
                             float sy2) {
  const float rotation = GetDrawRotation();
  float sx, sy;
  GetDrawScale(sx, sy);
  ClearCollisionLayers(COLLISION_LAYER_31);
  SetDrawTransform(rotation1, sx1, sy1);
  CollideImageFrame(image1, x1, y1, frame1, 0, COLLISION_LAYER_31, nullptr);
  SetDrawTransform(rotation2, sx2, sy2);
  const bool hit =
      !CollideImageFrame(image2, x2, y2, frame2, COLLISION_LAYER_31, 0, nullptr).empty();
  SetDrawTransform(rotation, sx, sy);
  return hit ? 1 : 0;
}
