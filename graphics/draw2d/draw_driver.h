#pragma once
// The interface every 2D drawing driver implements, and the driver's frames.
//
// The front end hands the driver local coordinates relative to an anchor and
// the anchor's screen position (tx, ty); the driver applies its matrix: a
// local point (x, y) lands on (x*ix + y*iy + tx, x*jx + y*jy + ty).

#include <cmath>
#include <vector>

#include "graphics/display/display.h"
#include "pixmap/pixmap.h"

// Blend modes. Drivers treat any other value as BLEND_SOLID.
enum : int {
  BLEND_MASK = 1,   // alpha below one half is not drawn; the rest replaces
  BLEND_SOLID = 2,  // replace
  BLEND_ALPHA = 3,  // src * alpha + dst * (1 - alpha)
  BLEND_LIGHT = 4,  // src * alpha + dst
  BLEND_SHADE = 5,  // src * dst
};

// A drawable made by one driver from a pixmap (a texture, a surface).
class TImageFrame : public Object {
 public:
  // Draws the frame stretched over the local rectangle (x0, y0)-(x1, y1)
  // placed at (tx, ty).
  virtual void Render(float x0, float y0, float x1, float y1, float tx, float ty) = 0;
};

// The vertices of a filled oval of radii rx and ry: the integer part of
// |rx| + |ry|, at least 12, rounded down to a multiple of 4; huge ovals are
// capped where more vertices add nothing on any screen.
inline int OvalVertexCount(float rx, float ry) {
  constexpr int MOST = 1 << 16;
  const float extent = std::fabs(rx) + std::fabs(ry);
  int n = extent < static_cast<float>(MOST) ? static_cast<int>(extent) : MOST;
  if (n < 12) n = 12;
  return n - n % 4;
}

class TDrawDriver : public TDisplayDriver {
 public:
  virtual Ref<TImageFrame> MakeFrame(const Ref<TPixmap>& pixmap, int flags) = 0;
  // Frames of one image's pixmaps, all of one size, in their order. A driver
  // may let them share what it draws from; this one makes them one by one.
  virtual std::vector<Ref<TImageFrame>> MakeFrames(const std::vector<Ref<TPixmap>>& pixmaps,
                                                   int flags) {
    std::vector<Ref<TImageFrame>> frames;
    frames.reserve(pixmaps.size());
    for (const Ref<TPixmap>& pixmap : pixmaps) frames.push_back(MakeFrame(pixmap, flags));
    return frames;
  }
  virtual void ApplyBlend(int mode) = 0;
  // The driver clamps alpha to 0..1 and colours to 0..255.
  virtual void ApplyAlpha(float alpha) = 0;
  virtual void ApplyColor(int r, int g, int b) = 0;
  virtual void ApplyClearColor(int r, int g, int b) = 0;
  virtual void ApplyClip(int x, int y, int width, int height) = 0;
  virtual void ApplyMatrix(float ix, float iy, float jx, float jy) = 0;
  virtual void ApplyLineWidth(float width) = 0;
  // Fills the whole back buffer with the clear colour.
  virtual void ClearBuffer() = 0;
  // One pixel at a screen position; the matrix is not applied.
  virtual void RenderPoint(float x, float y) = 0;
  virtual void RenderLine(float x0, float y0, float x1, float y1, float tx, float ty) = 0;
  // Filled quadrilateral (x0,y0) (x1,y0) (x1,y1) (x0,y1).
  virtual void RenderRect(float x0, float y0, float x1, float y1, float tx, float ty) = 0;
  // Filled ellipse inscribed in the local box.
  virtual void RenderOval(float x0, float y0, float x1, float y1, float tx, float ty) = 0;
  // Filled polygon through the local points (x + hx, y + hy) of xy's pairs.
  virtual void RenderPolygon(const std::vector<float>& xy, float hx, float hy, float tx,
                             float ty) = 0;
  // Pixels copied unscaled with their top-left at (x, y).
  virtual void BlitPixmap(const Ref<TPixmap>& pixmap, int x, int y) = 0;
  // A new pixmap of the back buffer's area.
  virtual Ref<TPixmap> ReadPixmap(int x, int y, int width, int height) = 0;
};
