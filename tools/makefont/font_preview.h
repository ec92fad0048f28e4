#pragma once
// An enlarged sheet of font bitmaps, for a person to judge their legibility.

#include <span>
#include <string>

#include "pixmap/pixmap.h"
#include "tools/makefont/font_bitmap.h"

struct NamedFont {
  std::string name;
  FontBitmap bitmap;
  int baselineRow;  // shaded below, in the enlarged cells
};

// For each font, one under the other: its name written in itself, its 96
// glyphs four times enlarged on a grid of cells, 16 to a row, and sample
// lines at twice and at the true size. RGB24.
Ref<TPixmap> MakeFontPreview(std::span<const NamedFont> fonts);
