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
// reads its own texels. flags: IMG_FILTERED, IMG_MIPMAPPED. u1 and v1 give
// where the pixmap ends. Made in whatever context is current.
unsigned MakeFrameTexture(const Ref<TPixmap>& pixmap, int flags, float& u1, float& v1);
}  // namespace detail
