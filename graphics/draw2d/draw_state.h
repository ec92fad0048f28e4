#pragma once
// The drawing state of the current 2D display. Each setter stores the value
// and passes it on to the driver; getters read what was stored. All of them
// need a current 2D display.

#include "graphics/draw2d/draw_display.h"

void SetDrawColor(int r, int g, int b);
void GetDrawColor(int& r, int& g, int& b);
void SetDrawAlpha(float alpha);
float GetDrawAlpha();
void SetClearColor(int r, int g, int b);
void GetClearColor(int& r, int& g, int& b);
void SetLineThickness(float width);
float GetLineThickness();
void SetBlendMode(int mode);
int GetBlendMode();
void SetClipRect(int x, int y, int width, int height);
void GetClipRect(int& x, int& y, int& width, int& height);
// Degrees; a positive angle turns clockwise on screen.
void SetDrawRotation(float degrees);
float GetDrawRotation();
void SetDrawScale(float sx, float sy);
void GetDrawScale(float& sx, float& sy);
// Rotation and scale with one matrix update.
void SetDrawTransform(float degrees, float sx, float sy);
// Added to every drawing position.
void SetDrawOrigin(float x, float y);
void GetDrawOrigin(float& x, float& y);
// The anchor of primitives; stored negated, so GetDrawHandle gives (-x, -y).
void SetDrawHandle(float x, float y);
void GetDrawHandle(float& x, float& y);
// Null selects the default font.
void SetGlyphFont(const Ref<TGlyphFont>& font);
Ref<TGlyphFont> GetGlyphFont();

// Recomputes the matrix from the stored rotation and scale, hands it to the
// driver and keeps it as the collision transform.
void UpdateDrawMatrix();

// The matrix of the last matrix update (identity before any), which
// collision tests place images with.
struct DrawMatrix {
  float ix = 1, iy = 0, jx = 0, jy = 1;
};
DrawMatrix CollisionTransform();
