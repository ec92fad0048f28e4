#pragma once
// The DirectX 7 2D driver. It exists only on Windows machines where DirectX 7
// works; everywhere else the accessor gives the null object.

#include "graphics/draw2d/draw_driver.h"

// The one driver, made on first use; null without DirectX 7.
Ref<TDrawDriver> DX7DrawDriver();

// Starts the drawing layer and, when there is a DirectX 7 driver, selects it.
void StartDX7Draw2D();
