#pragma once
// New pixmaps made from others: masked by a key colour, mirrored, resized.

#include "pixmap/pixmap.h"

// An RGBA32 pixmap in which the pixels of colour (r, g, b) are transparent
// and take the average colour of their non-matching neighbours (so filtered
// edges do not bleed the key colour); all other pixels are opaque.
Ref<TPixmap> MaskPixmap(const Ref<TPixmap>& pixmap, int r, int g, int b);
// Left-right and top-bottom mirrored copies.
Ref<TPixmap> MirrorPixmapX(const Ref<TPixmap>& pixmap);
Ref<TPixmap> MirrorPixmapY(const Ref<TPixmap>& pixmap);
// Bilinear resampling with pixel centres at +0.5; the same size gives an
// exact copy. The result keeps the pixmap's format.
Ref<TPixmap> ResizePixmap(const Ref<TPixmap>& pixmap, int width, int height);
