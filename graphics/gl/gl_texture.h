#pragma once
// Textures from pixmaps. A current OpenGL context is needed.

#include <span>
#include <vector>

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
// last column repeated to the right edge and its last row to the bottom, so
// that filtering and every mipmap level read only the picture's own texels;
// an empty pixmap gives a transparent texture. flags: IMG_FILTERED,
// IMG_MIPMAPPED. Made in whatever context is current. Frame textures are
// kept in BGRA order (for the copy program, gl_copy_program.h), the
// implementation choosing the depth of their channels.
struct frametexture {
  unsigned texture;
  int group;          // the name space it lives in (gldisplay_share_group)
  float v0;           // where the picture starts; it starts at the left edge
  float u1, v1;       // where the picture ends
  int width, height;  // texels the picture covers
};
frametexture MakeFrameTexture(const Ref<TPixmap>& pixmap, int flags);
// How many of count frames of this one's size and flags share a texture; 1
// where each keeps a texture of its own: mipmapped frames, whose smaller
// levels would run into each other, and empty ones.
int FramesPerTexture(const TPixmap& frame, int count, int flags);
// One texture for frames of one size, at most FramesPerTexture of them: the
// pictures one below the other in a texture as wide as MakeFrameTexture's,
// each padded to the right as there, its last row repeated once below it and
// its first row once above it, so that clamping at a picture's edges reads
// what it reads in a texture of its own. A single frame gets
// MakeFrameTexture's texture.
std::vector<frametexture> MakeFrameTextures(std::span<const Ref<TPixmap>> pixmaps, int flags);
// Deletes a frame's texture in its own name space, whatever context is
// current; one whose name space has gone is only forgotten.
void DeleteFrameTexture(int group, unsigned texture);
// Textures made for frames and not yet deleted, for tests.
int LiveFrameTextures();
// Tests fill the padded buffer with this byte before the picture goes in, so
// that any texel the padding misses shows; -1 leaves it as allocated.
void SetPaddingPoison(int byte);
// The bound texture's filters for the image flags (IMG_FILTERED: linear when
// magnified; IMG_MIPMAPPED: trilinear when minified; else nearest).
void SetFrameFilters(int flags);
}  // namespace detail
