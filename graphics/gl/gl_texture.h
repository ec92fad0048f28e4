#pragma once
// Textures from pixmaps. A current OpenGL context is needed.

#include "pixmap/pixmap.h"

// Rounds up to powers of two, then halves until the implementation accepts
// an RGBA texture of that size; raises "Unable to calculate tex size" when
// not even 1 x 1 is accepted.
void GLAdjustTexSize(int& width, int& height);
// A new texture of the pixmap, resampled to the texture size, with every
// mipmap level when asked; no texture parameters are set. The binding and
// the unpack row length are left as they were.
unsigned GLTexFromPixmap(const Ref<TPixmap>& pixmap, int mipmaps);

namespace detail {
// The texture of an image frame: the pixmap at the top-left of a
// power-of-two texture (resampled only when no texture can hold it), its
// last column and row repeated once beside it so that filtering at its edges
// reads its own texels. flags: IMG_FILTERED, IMG_MIPMAPPED. Made in whatever
// context is current.
struct frametexture {
  unsigned texture;
  float u1, v1;       // where the picture ends
  int width, height;  // texels the picture covers
};
frametexture MakeFrameTexture(const Ref<TPixmap>& pixmap, int flags);
// The bound texture's filters for the image flags (IMG_FILTERED: linear when
// magnified; IMG_MIPMAPPED: trilinear when minified; else nearest).
void SetFrameFilters(int flags);
}  // namespace detail
