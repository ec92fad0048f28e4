#pragma once
// The OpenGL 2D driver: the drawing layer on OpenGL 1.1 immediate mode over
// the OpenGL display driver, with a pixel-exact projection, y down, and
// images as textures in the name space every display shares.

#include "graphics/draw2d/draw_display.h"
#include "graphics/draw2d/image.h"
#include "graphics/gl/gl_texture.h"

class TGLDrawDriver : public TDrawDriver {
 public:
  std::vector<Ref<TGraphicsMode>> GraphicsModes() override;
  Ref<TDisplay> Attach(intptr_t window, int flags) override;
  Ref<TDisplay> Create(int width, int height, int depth, int hz, int flags) override;
  void SetDisplay(const Ref<TDisplay>& display) override;
  void Flip(int sync) override;
  void Finish() override;
  Ref<TImageFrame> MakeFrame(const Ref<TPixmap>& pixmap, int flags) override;
  // Frames share textures as far as FramesPerTexture allows, so that a run of
  // them, as text in a font, goes to OpenGL as one batch.
  std::vector<Ref<TImageFrame>> MakeFrames(const std::vector<Ref<TPixmap>>& pixmaps,
                                           int flags) override;
  void ApplyBlend(int mode) override;
  void ApplyAlpha(float alpha) override;
  void ApplyColor(int r, int g, int b) override;
  void ApplyClearColor(int r, int g, int b) override;
  void ApplyClip(int x, int y, int width, int height) override;
  void ApplyMatrix(float ix, float iy, float jx, float jy) override;
  void ApplyLineWidth(float width) override;
  void ClearBuffer() override;
  void RenderPoint(float x, float y) override;
  void RenderLine(float x0, float y0, float x1, float y1, float tx, float ty) override;
  void RenderRect(float x0, float y0, float x1, float y1, float tx, float ty) override;
  void RenderOval(float x0, float y0, float x1, float y1, float tx, float ty) override;
  void RenderPolygon(const std::vector<float>& xy, float hx, float hy, float tx, float ty) override;
  void BlitPixmap(const Ref<TPixmap>& pixmap, int x, int y) override;
  Ref<TPixmap> ReadPixmap(int x, int y, int width, int height) override;
};

// The one instance, made on first use.
Ref<TGLDrawDriver> GLDrawDriver();

// Ends the batch of image quads that the driver may hold open; anything that
// talks to OpenGL itself between the driver's draws calls it first.
void FinishGLDrawing();

namespace detail {
// Batches of image quads begun so far, for tests.
int ImageBatches();
// Those of them that went through the copy program.
int CopyBatches();
// Tests draw without the copy program (false) to compare.
void AllowCopyProgram(bool allowed);
}  // namespace detail

// A texture of one or more frames, deleted with the last of them, also when
// that is long after its display closed: it lives in the shared name space,
// not the display's.
class TGLFrameTexture : public Object {
 public:
  TGLFrameTexture(unsigned texture, int group) : texture(texture), group(group) {}
  ~TGLFrameTexture() override;
  TGLFrameTexture(const TGLFrameTexture&) = delete;
  TGLFrameTexture& operator=(const TGLFrameTexture&) = delete;

  unsigned texture;
  int group;  // the name space of the texture
  // The filters are nearest for now, whatever the image's flags say.
  bool nearestNow = false;
};

// The part of a frame's picture that can show: whether every pixel is
// opaque, and the smallest rectangle holding every pixel with some alpha
// (empty, right 0, when none has).
struct framecoverage {
  bool opaque;
  int left, top, right, bottom;
};

// A frame's picture in a texture, from (u0, v0) to (u1, v1).
class TGLImageFrame : public TImageFrame {
 public:
  TGLImageFrame(const Ref<TGLFrameTexture>& shared, const detail::frametexture& made, int flags,
                int sequence, const framecoverage& seen)
      : v0(made.v0),
        u1(made.u1),
        v1(made.v1),
        shared(shared),
        sequence(sequence),
        seen(seen),
        width(made.width),
        height(made.height),
        filtered((flags & (IMG_FILTERED | IMG_MIPMAPPED)) != 0),
        flags(flags) {}
  void Render(float x0, float y0, float x1, float y1, float tx, float ty) override;

  float u0 = 0, v0, u1, v1;
  Ref<TGLFrameTexture> shared;
  int sequence;  // DisplaySequence when made
  // What of the picture can show. Drawn texel for pixel, the rest is left
  // out; an opaque picture drawn at full alpha leaves blending out too, as it
  // changes nothing.
  framecoverage seen;
  // Texels the picture covers, and whether it is filtered; drawn texel for
  // pixel, a filtered frame samples its texels' centres, which the nearest
  // texel gives as exactly and much faster.
  int width, height;
  bool filtered;
  int flags;
};

// Starts the drawing layer and the OpenGL display module, and selects the
// OpenGL 2D driver.
void StartGLDraw2D();
