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

// A texture holding a pixmap at its top-left; u1 and v1 are where the
// pixmap ends in the (power-of-two) texture.
class TGLImageFrame : public TImageFrame {
 public:
  TGLImageFrame(const detail::frametexture& made, int flags, int sequence, bool opaque)
      : u1(made.u1),
        v1(made.v1),
        texture(made.texture),
        group(made.group),
        sequence(sequence),
        opaque(opaque),
        width(made.width),
        height(made.height),
        filtered((flags & (IMG_FILTERED | IMG_MIPMAPPED)) != 0),
        flags(flags) {}
  // The texture goes with the frame, also when that is long after its
  // display closed: it lives in the shared name space, not the display's.
  ~TGLImageFrame() override;
  void Render(float x0, float y0, float x1, float y1, float tx, float ty) override;

  float u0 = 0, v0 = 0, u1, v1;
  unsigned texture;
  int group;     // the name space of the texture
  int sequence;  // DisplaySequence when made
  // Every pixel has full alpha: drawn at full alpha, blending changes nothing
  // and is left out.
  bool opaque;
  // Texels the picture covers, and whether it is filtered; drawn texel for
  // pixel, a filtered frame samples its texels' centres, which the nearest
  // texel gives as exactly and much faster.
  int width, height;
  bool filtered;
  int flags;
  bool nearestNow = false;
};

// Starts the drawing layer and the OpenGL display module, and selects the
// OpenGL 2D driver.
void StartGLDraw2D();
