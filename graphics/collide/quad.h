#pragma once
// One placed shape for collision tests: four screen corners with texture
// coordinates, and the frame pixmap they map (none for a solid shape).

#include "pixmap/pixmap.h"

struct TQuad {
  TQuad* next = nullptr;  // in a layer or in the free list
  Ref<Object> id;         // handed back by tests that hit this quad
  Ref<TPixmap> pixmap;    // null: solid
  float minX = 0, minY = 0, maxX = 0, maxY = 0;
  // x, y, u, v of each corner; the corners map (0, 0), (1, 0), (1, 1), (0, 1).
  float vertices[16] = {};

  void SetCorners(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3);
};

// Whether one screen pixel is covered by an opaque texel (alpha 128 or more)
// of both quads, or by a solid quad and the other.
bool QuadsOverlap(const TQuad& a, const TQuad& b);
