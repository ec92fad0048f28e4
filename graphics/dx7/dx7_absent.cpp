// Builds without DirectX: there is never a DirectX 7 driver.
#include "graphics/draw2d/draw_display.h"
#include "graphics/dx7/dx7_draw.h"

Ref<TDrawDriver> DX7DrawDriver() { return nullptr; }

void StartDX7Draw2D() { StartDraw2D(); }
