#pragma once
// The DirectX 7 2D driver: the drawing layer on Direct3D 7 over the DirectX 7
// display driver, with the same pixel rules as the OpenGL driver where
// Direct3D allows: a projection that puts texel centres on pixel centres,
// untransformed vertices carrying the drawing colour, and images as managed
// textures whose quads are drawn in batches.

#include "graphics/draw2d/draw_display.h"
#include "graphics/dx7/dx7_display.h"

class TDX7ImageFrame;

// Vertex formats: position and colour, and the same with a texture
// coordinate pair; z is always 0.
struct DX7Vertex {
  float x, y, z;
  DWORD color;
};
struct DX7TexturedVertex {
  float x, y, z;
  DWORD color;
  float u, v;
};
constexpr DWORD DX7_VERTEX_FORMAT = D3DFVF_XYZ | D3DFVF_DIFFUSE;
constexpr DWORD DX7_TEXTURED_VERTEX_FORMAT = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

class TDX7DrawDriver : public TDrawDriver, public TDX7DeviceListener {
 public:
  // "DirectX7"
  String ToString() const;

  std::vector<Ref<TGraphicsMode>> GraphicsModes() override;
  Ref<TDisplay> Attach(intptr_t window, int flags) override;
  Ref<TDisplay> Create(int width, int height, int depth, int hz, int flags) override;
  void SetDisplay(const Ref<TDisplay>& display) override;
  void Flip(int sync) override;
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

  // Textures stay on a lost device (they are managed): nothing to do.
  void DeviceLost(TDX7Context&) override {}
  // A device made anew gets the whole state again.
  void DeviceRestored(TDX7Context& context) override;
  // Forgets the device, and the texture it had bound; until a device comes
  // back, drawing does nothing.
  void DeviceReleased(TDX7Context&) override;

  // Binds the frame's texture (null: none) with its filter.
  void SelectFrame(TDX7ImageFrame* frame);
  Ref<TDX7ImageFrame> NewFrame(int width, int height, int flags);
  // The frame's quad joins the triangles waiting to be drawn with its
  // texture: a run of one image's frames, such as a line of text, is one
  // draw.
  void RenderFrameQuad(TDX7ImageFrame& frame, float x0, float y0, float x1, float y1, float tx,
                       float ty);
  // Draws the quads waiting; every change of state that would alter them
  // comes after.
  void FlushBatch();
  // A system-memory surface over the pixmap's own pixels (converted first
  // when GDI cannot read its format); released by the caller.
  IDirectDrawSurface7* CreateSystemSurface(Ref<TPixmap>& pixmap);

  IDirect3DDevice7* device = nullptr;
  DWORD color = 0;       // 0xAARRGGBB
  DWORD clearColor = 0;  // 0xAARRGGBB
  float ix = 1, iy = 0, jx = 0, jy = 1;
  float lineWidth = 1.0f;
  DX7Vertex quad[4]{};
  D3DVIEWPORT7 viewport{};
  int clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;
  int blend = 0;
  TDX7ImageFrame* frame = nullptr;
  int magFilter = 0;                     // 0 point, IMG_FILTERED linear
  std::vector<DX7TexturedVertex> batch;  // triangles of the frame's quads

 private:
  // What the driver keeps on the device: viewport and projection for the
  // current display, and the render and texture-stage states of a display
  // selected for the first time, no texture bound.
  void ApplyDeviceState();
  // The local point placed by the matrix at (tx, ty).
  void Place(DX7Vertex& vertex, float x, float y, float tx, float ty) const;
  void Draw(D3DPRIMITIVETYPE type, DX7Vertex* vertices, DWORD count);
  // The back buffer's device context around a GDI copy, the scene closed.
  template <class Copy>
  void WithBackBufferDC(Ref<TPixmap> pixmap, Copy copy);
};
