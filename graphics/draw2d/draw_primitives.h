#pragma once
// Clearing, primitives, text and pixel transfers on the current 2D display.
// Positions get the drawing origin added; shapes hang from the drawing
// handle and turn and scale with the drawing matrix.

#include <vector>

#include "graphics/draw2d/draw_display.h"

void ClearScreen();
// One pixel; only the origin applies.
void PlotPoint(float x, float y);
void FillRect(float x, float y, float width, float height);
void FillOval(float x, float y, float width, float height);
// drawLastPixel not 0 also plots the transformed end point.
void DrawLineSegment(float x1, float y1, float x2, float y2, int drawLastPixel);
// x, y pairs.
void FillPolygon(const std::vector<float>& xy);
// With the current glyph font.
void DrawString(const String& text, float x, float y);
// Copied unscaled with the top-left at (x, y); origin, handle and matrix do
// not apply.
void DrawPixmapAt(const Ref<TPixmap>& pixmap, int x, int y);
Ref<TPixmap> GrabScreenPixmap(int x, int y, int width, int height);
