#include "graphics/collide/collide.h"

#include <algorithm>
#include <array>
#include <memory>

#include "graphics/collide/quad.h"
#include "graphics/draw2d/draw_state.h"

namespace {

constexpr int LAYER_COUNT = 32;

// The quads of every layer and the free ones; they are recycled, never freed.
struct collisionstate {
  std::array<TQuad*, LAYER_COUNT> layers{};
  TQuad* free = nullptr;
  std::vector<std::unique_ptr<TQuad>> quads;
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
