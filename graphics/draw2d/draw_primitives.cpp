#include "graphics/draw2d/draw_primitives.h"

#include "graphics/draw2d/glyph_font.h"

using detail::DrawDriver;
using detail::DrawState;

void ClearScreen() { DrawDriver().ClearBuffer(); }

void PlotPoint(float x, float y) {
  const TDrawDisplay& s = DrawState();
  DrawDriver().RenderPoint(x + s.originX, y + s.originY);
}

void FillRect(float x, float y, float width, float height) {
  const TDrawDisplay& s = DrawState();
  DrawDriver().RenderRect(s.handleX, s.handleY, s.handleX + width, s.handleY + height,
                          x + s.originX, y + s.originY);
}

void FillOval(float x, float y, float width, float height) {
  const TDrawDisplay& s = DrawState();
  DrawDriver().RenderOval(s.handleX, s.handleY, s.handleX + width, s.handleY + height,
                          x + s.originX, y + s.originY);
}

void DrawLineSegment(float x1, float y1, float x2, float y2, int drawLastPixel) {
  const TDrawDisplay& s = DrawState();
  TDrawDriver& driver = DrawDriver();
  const float ex = s.handleX + x2 - x1, ey = s.handleY + y2 - y1;
  const float tx = x1 + s.originX, ty = y1 + s.originY;
  driver.RenderLine(s.handleX, s.handleY, ex, ey, tx, ty);
  if (drawLastPixel) driver.RenderPoint(ex * s.ix + ey * s.iy + tx, ex * s.jx + ey * s.jy + ty);
}

void FillPolygon(const std::vector<float>& xy) {
  const TDrawDisplay& s = DrawState();
  DrawDriver().RenderPolygon(xy, s.handleX, s.handleY, s.originX, s.originY);
}

void DrawString(const String& text, float x, float y) {
  const TDrawDisplay& s = DrawState();
  const Ref<TGlyphFont> font = s.font ? s.font : DefaultGlyphFont();
  font->DrawText(text, x + s.originX + s.handleX * s.ix + s.handleY * s.iy,
                 y + s.originY + s.handleX * s.jx + s.handleY * s.jy, s.ix, s.iy, s.jx, s.jy);
}

void DrawPixmapAt(const Ref<TPixmap>& pixmap, int x, int y) {
  DrawState();
  DrawDriver().BlitPixmap(pixmap, x, y);
}

Ref<TPixmap> GrabScreenPixmap(int x, int y, int width, int height) {
  DrawState();
  return DrawDriver().ReadPixmap(x, y, width, height);
}
