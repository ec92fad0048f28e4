#pragma once
// Quick text straight through OpenGL, for tools and debugging: the built-in
// 8 x 16 font from "gldrawtextfont.bin" over the current viewport, y down,
// in the current colour. Every character advances 8 pixels; codes outside
// 32..127 are not drawn. OpenGL state is left as it was.

#include "runtime/string.h"

void GLDrawText(const String& text, int x, int y);
