#pragma once
// PNG pictures through libpng: the pixmap loader, and saving.

#include "pixmap/pixmap.h"
#include "stream/stream_factory.h"

// Starts the pixmaps and puts the PNG loader at the head of the loader chain.
void StartPNG();

// The picture in stream, or null when it is not a PNG, is corrupt or
// truncated, or is too large (over 16384 pixels wide or high, or 256 MiB
// decoded). Grey, grey + alpha, RGB, RGBA and palette images of any bit depth
// load as GRAY8, RGBA32, RGB24, RGBA32 and RGB24 (RGBA32 with transparency).
// The stream is left open.
Ref<TPixmap> LoadPixmapPNG(const Ref<TStream>& stream);
// Writes the pixmap as an 8-bit PNG to the url or stream; compression is
// zlib's level 0..9. 1 on success; 0 when no write stream opens or writing fails.
int SavePixmapPNG(const Ref<TPixmap>& pixmap, const Url& target, int compression);
