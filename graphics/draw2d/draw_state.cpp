#include "graphics/draw2d/draw_state.h"

#include <cmath>
#include <numbers>

#include "graphics/draw2d/glyph_font.h"

using detail::DrawDriver;
using detail::DrawState;

namespace {

DrawMatrix collisionTransform;

}  // namespace

void SetDrawColor(int r, int g, int b) {
  TDrawDisplay& s = DrawState();
  s.red = r;
  s.green = g;
  s.blue = b;
  DrawDriver().ApplyColor(r, g, b);
}

void GetDrawColor(int& r, int& g, int& b) {
  const TDrawDisplay& s = DrawState();
  r = s.red;
  g = s.green;
  b = s.blue;
}

void SetDrawAlpha(float alpha) {
  DrawState().alpha = alpha;
  DrawDriver().ApplyAlpha(alpha);
}

float GetDrawAlpha() { return DrawState().alpha; }

void SetClearColor(int r, int g, int b) {
  TDrawDisplay& s = DrawState();
  s.clearRed = r;
  s.clearGreen = g;
  s.clearBlue = b;
  DrawDriver().ApplyClearColor(r, g, b);
}

void GetClearColor(int& r, int& g, int& b) {
  const TDrawDisplay& s = DrawState();
  r = s.clearRed;
  g = s.clearGreen;
  b = s.clearBlue;
}

void SetLineThickness(float width) {
  DrawState().lineWidth = width;
  DrawDriver().ApplyLineWidth(width);
}

float GetLineThickness() { return DrawState().lineWidth; }

void SetBlendMode(int mode) {
  DrawState().blend = mode;
  DrawDriver().ApplyBlend(mode);
}

int GetBlendMode() { return DrawState().blend; }

void SetClipRect(int x, int y, int width, int height) {
  TDrawDisplay& s = DrawState();
  s.clipX = x;
  s.clipY = y;
  s.clipWidth = width;
  s.clipHeight = height;
  DrawDriver().ApplyClip(x, y, width, height);
}

void GetClipRect(int& x, int& y, int& width, int& height) {
  const TDrawDisplay& s = DrawState();
  x = s.clipX;
  y = s.clipY;
  width = s.clipWidth;
  height = s.clipHeight;
}

void SetDrawRotation(float degrees) {
  DrawState().rotation = degrees;
  UpdateDrawMatrix();
}

float GetDrawRotation() { return DrawState().rotation; }

void SetDrawScale(float sx, float sy) {
  TDrawDisplay& s = DrawState();
  s.scaleX = sx;
  s.scaleY = sy;
  UpdateDrawMatrix();
}

void GetDrawScale(float& sx, float& sy) {
  const TDrawDisplay& s = DrawState();
  sx = s.scaleX;
  sy = s.scaleY;
}

void SetDrawTransform(float degrees, float sx, float sy) {
  TDrawDisplay& s = DrawState();
  s.rotation = degrees;
  s.scaleX = sx;
  s.scaleY = sy;
  UpdateDrawMatrix();
}

void SetDrawOrigin(float x, float y) {
  TDrawDisplay& s = DrawState();
  s.originX = x;
  s.originY = y;
}

void GetDrawOrigin(float& x, float& y) {
  const TDrawDisplay& s = DrawState();
  x = s.originX;
  y = s.originY;
}

void SetDrawHandle(float x, float y) {
  TDrawDisplay& s = DrawState();
  s.handleX = -x;
  s.handleY = -y;
}

void GetDrawHandle(float& x, float& y) {
  const TDrawDisplay& s = DrawState();
  x = s.handleX;
  y = s.handleY;
}

void SetGlyphFont(const Ref<TGlyphFont>& font) {
  DrawState().font = font ? font : DefaultGlyphFont();
}

Ref<TGlyphFont> GetGlyphFont() { return DrawState().font; }

void UpdateDrawMatrix() {
  TDrawDisplay& s = DrawState();
  const double radians = s.rotation * (std::numbers::pi / 180.0);
  const double sine = std::sin(radians), cosine = std::cos(radians);
  s.ix = static_cast<float>(cosine * s.scaleX);
  s.iy = static_cast<float>(-sine * s.scaleY);
  s.jx = static_cast<float>(sine * s.scaleX);
  s.jy = static_cast<float>(cosine * s.scaleY);
  DrawDriver().ApplyMatrix(s.ix, s.iy, s.jx, s.jy);
  collisionTransform = {s.ix, s.iy, s.jx, s.jy};
}

DrawMatrix CollisionTransform() { return collisionTransform; }
