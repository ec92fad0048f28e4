#include "graphics/gl/gl_texture.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "graphics/draw2d/image.h"
#include "graphics/gl/gl_draw.h"
#include "graphics/gl/gl_platform.h"
#include "pixmap/pixmap_transform.h"
#include "runtime/runtime_error.h"

#ifndef GL_CLAMP_TO_EDGE
#define GL_CLAMP_TO_EDGE 0x812F
#endif
#ifndef GL_BGRA
#define GL_BGRA 0x80E1
#endif

namespace {

// The largest power of two an int holds; bigger sides are refused by any
// implementation anyway and are halved from here.
constexpr int MAX_SIDE = 1 << 30;

int PowerOfTwoAtLeast(int n) {
  int p = 1;
  while (p < n && p < MAX_SIDE) p *= 2;
  return p;
}

bool ProxyAccepts(int width, int height) {
  glTexImage2D(GL_PROXY_TEXTURE_2D, 0, 4, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  GLint accepted = 0;
  glGetTexLevelParameteriv(GL_PROXY_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &accepted);
  return accepted != 0;
}

Ref<TPixmap> AsRGBA(const Ref<TPixmap>& pixmap) {
  return pixmap->Format() == PIXFMT_RGBA32 ? pixmap : pixmap->Convert(PIXFMT_RGBA32);
}

// Calls upload (level, RGBA pixmap) for level 0 and, with mipmaps, every
// smaller level, each resampled from the one before, with the unpack row
// length set for the pixmap; the row length is 0 afterwards.
template <class Upload>
void ForEachLevel(Ref<TPixmap> level, bool mipmaps, Upload upload) {
  for (int index = 0;; index++) {
    glPixelStorei(GL_UNPACK_ROW_LENGTH, level->Pitch() / BYTES_PER_PIXEL[PIXFMT_RGBA32]);
    upload(index, *level);
    int w = level->Width(), h = level->Height();
    if (!mipmaps || (w < 2 && h < 2)) break;
    if (w >= 2) w /= 2;
    if (h >= 2) h /= 2;
    level = ResizePixmap(level, w, h);
  }
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

// A level of the bound frame texture, its texels undefined. Unsized, so that
// OpenGL keeps them in the order given, BGRA, which the copy program reads
// fastest; uploads in RGBA order are turned around on the way in.
void AllocateLevel(int level, int width, int height) {
  glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
}

int liveFrameTextures = 0;
int paddingPoison = -1;

// The pixmap into rows top to bottom - 1 of target from its left edge, its
// last column repeated to the right edge and its last row down to bottom:
// nothing is left undefined for filtering or the mipmap levels to pull in.
void PadInto(TPixmap& target, const TPixmap& pixmap, int top, int bottom) {
  const int w = pixmap.Width(), h = pixmap.Height(), tw = target.Width();
  target.Paste(pixmap, 0, top);
  for (int y = top; y < top + h; y++) {
    uint8_t* row = target.PixelPtr(0, y);
    for (int x = w; x < tw; x++) std::memcpy(row + x * 4, row + (w - 1) * 4, 4);
  }
  for (int y = top + h; y < bottom; y++) {
    std::memcpy(target.PixelPtr(0, y), target.PixelPtr(0, top + h - 1),
                static_cast<size_t>(tw) * 4);
  }
}

// A tw x th RGBA pixmap for textures, poisoned for tests, else transparent.
Ref<TPixmap> TextureBuffer(int tw, int th) {
  Ref<TPixmap> buffer = CreatePixmap(tw, th, PIXFMT_RGBA32, 4);
  const size_t bytes = static_cast<size_t>(buffer->Pitch()) * static_cast<size_t>(th);
  std::memset(buffer->Pixels(), paddingPoison >= 0 ? paddingPoison : 0, bytes);
  return buffer;
}

// The pixmap in the top-left of a tw x th RGBA pixmap, padded.
Ref<TPixmap> Padded(const Ref<TPixmap>& pixmap, int tw, int th) {
  Ref<TPixmap> padded = TextureBuffer(tw, th);
  if (pixmap->Width() < 1 || pixmap->Height() < 1) {
    std::memset(padded->Pixels(), 0,
                static_cast<size_t>(padded->Pitch()) * static_cast<size_t>(th));
    return padded;
  }
  PadInto(*padded, *pixmap, 0, th);
  return padded;
}

// The size a frame's picture gets in a texture cell of tw x th texels
// (GLAdjustTexSize): resampled only when the cell cannot hold it.
struct cell {
  int tw, th, w, h;
};

cell CellFor(const TPixmap& pixmap) {
  cell c{pixmap.Width(), pixmap.Height(), 0, 0};
  GLAdjustTexSize(c.tw, c.th);
  c.w = std::min(pixmap.Width(), c.tw);
  c.h = std::min(pixmap.Height(), c.th);
  return c;
}

Ref<TPixmap> Fitted(const Ref<TPixmap>& pixmap, const cell& c) {
  if (c.w == pixmap->Width() && c.h == pixmap->Height()) return pixmap;
  return ResizePixmap(pixmap, c.w, c.h);
}

// A new texture name, bound, clamped to its edges, with the image's filters.
GLuint NewFrameTexture(int flags) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  detail::SetFrameFilters(flags);
  return texture;
}

}  // namespace

void GLAdjustTexSize(int& width, int& height) {
  width = PowerOfTwoAtLeast(width);
  height = PowerOfTwoAtLeast(height);
  while (!ProxyAccepts(width, height)) {
    if (width == 1 && height == 1) throw RuntimeError("Unable to calculate tex size");
    if (width > 1) width /= 2;
    if (height > 1) height /= 2;
  }
}

unsigned GLTexFromPixmap(const Ref<TPixmap>& pixmap, int mipmaps) {
  FinishGLDrawing();
  Ref<TPixmap> rgba = AsRGBA(pixmap);
  int tw = rgba->Width(), th = rgba->Height();
  GLAdjustTexSize(tw, th);
  if (tw != rgba->Width() || th != rgba->Height()) rgba = ResizePixmap(rgba, tw, th);

  GLint bound = 0, rowLength = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  ForEachLevel(rgba, mipmaps != 0, [](int level, const TPixmap& p) {
    glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, p.Width(), p.Height(), 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, p.Pixels());
  });
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
  glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength);
  return texture;
}

namespace detail {

void SetFrameFilters(int flags) {
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER,
                  flags & IMG_FILTERED ? GL_LINEAR : GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                  flags & IMG_MIPMAPPED ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST);
}

frametexture MakeFrameTexture(const Ref<TPixmap>& pixmap, int flags) {
  const cell c = CellFor(*pixmap);
  const int tw = c.tw, th = c.th;
  const Ref<TPixmap> content = Fitted(pixmap, c);
  const Ref<TPixmap> level0 = c.w < tw || c.h < th ? Padded(content, tw, th) : AsRGBA(content);

  const bool mipmapped = flags & IMG_MIPMAPPED;
  GLuint texture = NewFrameTexture(flags);
  // All levels are allocated first, so the texture is complete whatever
  // happens to the uploads.
  for (int level = 0, lw = tw, lh = th;; level++) {
    AllocateLevel(level, lw, lh);
    if (!mipmapped || (lw < 2 && lh < 2)) break;
    if (lw >= 2) lw /= 2;
    if (lh >= 2) lh /= 2;
  }
  try {
    ForEachLevel(level0, mipmapped, [](int level, const TPixmap& p) {
      glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, p.Width(), p.Height(), GL_RGBA, GL_UNSIGNED_BYTE,
                      p.Pixels());
    });
  } catch (...) {
    // No frame will own the name.
    glDeleteTextures(1, &texture);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    throw;
  }
  if (texture) liveFrameTextures++;
  return {texture,
          gldisplay_share_group(),
          0,
          static_cast<float>(c.w) / static_cast<float>(tw),
          static_cast<float>(c.h) / static_cast<float>(th),
          c.w,
          c.h};
}

int FramesPerTexture(const TPixmap& frame, int count, int flags) {
  if (count < 2 || (flags & IMG_MIPMAPPED) || frame.Width() < 1 || frame.Height() < 1) return 1;
  const cell c = CellFor(frame);
  const int slot = c.h + 2;
  const int64_t wanted = static_cast<int64_t>(count) * slot;
  int rows = PowerOfTwoAtLeast(static_cast<int>(std::min<int64_t>(wanted, MAX_SIDE)));
  while (rows / slot >= 2 && !ProxyAccepts(c.tw, rows)) rows /= 2;
  const int each = rows / slot;
  if (each < 2) return 1;
  return std::min(each, count);
}

std::vector<frametexture> MakeFrameTextures(std::span<const Ref<TPixmap>> pixmaps, int flags) {
  if (pixmaps.size() == 1) return {MakeFrameTexture(pixmaps[0], flags)};
  const cell c = CellFor(*pixmaps[0]);
  const int slot = c.h + 2;
  const int rows = PowerOfTwoAtLeast(static_cast<int>(pixmaps.size()) * slot);
  const Ref<TPixmap> strip = TextureBuffer(c.tw, rows);
  for (size_t i = 0; i < pixmaps.size(); i++) {
    const int top = static_cast<int>(i) * slot;
    PadInto(*strip, *Fitted(pixmaps[i], c), top + 1, top + slot);
    std::memcpy(strip->PixelPtr(0, top), strip->PixelPtr(0, top + 1),
                static_cast<size_t>(c.tw) * 4);
  }

  const GLuint texture = NewFrameTexture(flags);
  ForEachLevel(strip, false, [](int level, const TPixmap& p) {
    AllocateLevel(level, p.Width(), p.Height());
    glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, p.Width(), p.Height(), GL_RGBA, GL_UNSIGNED_BYTE,
                    p.Pixels());
  });
  if (texture) liveFrameTextures++;
  std::vector<frametexture> made;
  const float height = static_cast<float>(rows);
  for (size_t i = 0; i < pixmaps.size(); i++) {
    const int top = static_cast<int>(i) * slot + 1;
    made.push_back({texture, gldisplay_share_group(), static_cast<float>(top) / height,
                    static_cast<float>(c.w) / static_cast<float>(c.tw),
                    static_cast<float>(top + c.h) / height, c.w, c.h});
  }
  return made;
}

void DeleteFrameTexture(int group, unsigned texture) {
  if (!texture) return;
  liveFrameTextures--;
  gldisplay_delete_textures(group, 1, &texture);
}

int LiveFrameTextures() { return liveFrameTextures; }

void SetPaddingPoison(int byte) { paddingPoison = byte; }

}  // namespace detail
