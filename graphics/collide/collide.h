#pragma once
// Pixel-exact collisions between placed images and rectangles.
//
// A shape is placed as drawing would place it: the image's anchor, the
// drawing origin, and the rotation and scale of the last matrix update. It
// can be tested against the shapes kept in any of 32 collision layers and be
// written into layers itself. Two shapes touch when one screen pixel is
// covered by an opaque texel (alpha 128 or more) of both. Layer 31 is the
// working layer of ImagesOverlap and ImagesOverlapTransformed.

#include <cstdint>
#include <vector>

#include "graphics/draw2d/image.h"

using CollisionIds = std::vector<Ref<Object>>;

constexpr uint32_t COLLISION_LAYER_31 = 0x80000000u;

// 1 if the two placed frames share an opaque pixel, else 0.
int ImagesOverlap(const Ref<TImage>& image1, float x1, float y1, int frame1,
                  const Ref<TImage>& image2, float x2, float y2, int frame2);
// The same with each image's own rotation (degrees) and scale; the drawing
// rotation and scale are as before afterwards.
int ImagesOverlapTransformed(const Ref<TImage>& image1, float x1, float y1, int frame1,
                             float rotation1, float sx1, float sy1, const Ref<TImage>& image2,
                             float x2, float y2, int frame2, float rotation2, float sx2, float sy2);
// Empties the layers in mask; 0 empties all of them.
void ClearCollisionLayers(uint32_t mask);
// Tests the placed frame against the layers in collideMask, then writes it
// into the layers in writeMask. The ids of every shape hit, layer by layer
// from 0 up and newest first within a layer.
CollisionIds CollideImageFrame(const Ref<TImage>& image, float x, float y, int frame,
                               uint32_t collideMask, uint32_t writeMask, const Ref<Object>& id);
CollisionIds CollideRectangle(float x, float y, float width, float height, uint32_t collideMask,
                              uint32_t writeMask, const Ref<Object>& id);
