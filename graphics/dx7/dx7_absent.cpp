// Builds without DirectX: there is never a DirectX 7 driver.
#include "graphics/dx7/dx7_draw.h"

Ref<TDrawDriver> DX7DrawDriver() { return nullptr; }
