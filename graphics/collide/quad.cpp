#include "graphics/collide/quad.h"

#include <algorithm>

void TQuad::SetCorners(float x0, float y0, float x1, float y1, float x2, float y2, float x3,
                       float y3) {
  const float corners[16] = {x0, y0, 0, 0, x1, y1, 1, 0, x2, y2, 1, 1, x3, y3, 0, 1};
  std::copy(std::begin(corners), std::end(corners), vertices);
  minX = std::min({x0, x1, x2, x3});
  maxX = std::max({x0, x1, x2, x3});
  minY = std::min({y0, y1, y2, y3});
  maxY = std::max({y0, y1, y2, y3});
}
