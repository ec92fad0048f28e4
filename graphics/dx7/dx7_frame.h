#pragma once
// An image frame of the DirectX 7 2D driver: a managed texture of
// power-of-two size holding the picture at its top-left, its last column
// and row repeated into the spare texels, with mipmap levels when asked.

#include "graphics/dx7/dx7_draw_driver.h"

class TDX7ImageFrame : public TImageFrame {
 public:
  TDX7ImageFrame(Ref<TDX7DrawDriver> driver, int width, int height, int flags);
  ~TDX7ImageFrame() override;
  void Render(float x0, float y0, float x1, float y1, float tx, float ty) override;

  // The texture for a picture of width x height; raises "Create DX7 surface
  // Failed" when DirectDraw refuses it.
  static Ref<TDX7ImageFrame> Create(const Ref<TDX7DrawDriver>& driver, int width, int height,
                                    int flags);
  void SetTexCoords(float u0, float v0, float u1, float v1);
  // The whole texture as a BGRA32 pixmap over the locked surface.
  Ref<TPixmap> LockFrame(bool read, bool write);
  // Pads the edges, unlocks, and remakes the mipmap levels.
  void UnlockFrame();
  // The average of two pixels, per byte, rounded up.
  static uint32_t MixPixels(uint32_t a, uint32_t b);
  void PadEdges();
  void BuildMipMaps();

  Ref<TDX7DrawDriver> driver;
  IDirectDrawSurface7* surface = nullptr;
  DDSURFACEDESC2 lockDesc{};
  DX7TexturedVertex vertices[4]{};
  int width, height;  // of the picture
  int flags;          // IMG_FILTERED, IMG_MIPMAPPED
  int sequence;       // DisplaySequence when made
  int textureWidth = 1, textureHeight = 1;
};
