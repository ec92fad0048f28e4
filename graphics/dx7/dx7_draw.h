#pragma once
// The DirectX 7 2D driver. It exists only on Windows machines where DirectX 7
// works; everywhere else the accessor gives the null object.

#include "graphics/draw2d/draw_driver.h"

Ref<TDrawDriver> DX7DrawDriver();
