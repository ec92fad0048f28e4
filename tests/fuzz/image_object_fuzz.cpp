// Reads serialised images (with their frame pixmaps, and the lists and banks
// around them) from arbitrary bytes, with no display: every input must end
// in objects or a run-time error, never a crash, a hang or a leak. Every
// image read has one frame per entry, each of the image's size; its frames
// go through the pixel-exact collision test; and it writes back to the same
// bytes.

#include "graphics/collide/quad.h"
#include "graphics/draw2d/draw_display.h"
#include "graphics/draw2d/image.h"
#include "tests/fuzz/object_fuzz.h"

namespace {

// Small enough that texture coordinates stepped across the frame land on
// every texel exactly.
constexpr int MAX_EXACT_SIDE = 64;
constexpr int64_t MAX_LOCKED_PIXELS = 1 << 20;

TQuad At(const Ref<TPixmap>& pixmap, float x, float y, float w, float h) {
  TQuad quad;
  quad.pixmap = pixmap;
  quad.SetCorners(x, y, x + w, y, x + w, y + h, x, y + h);
  return quad;
}

bool AnyOpaque(const TPixmap& pixmap) {
  for (int y = 0; y < pixmap.Height(); ++y) {
    for (int x = 0; x < pixmap.Width(); ++x) {
      if (static_cast<uint32_t>(pixmap.ReadPixel(x, y)) >> 24 >= 128) return true;
    }
  }
  return false;
}

void CheckImage(TImage& image) {
  const size_t count = image.pixmaps.size();
  if (image.frames.size() != count || image.sequences.size() != count) std::abort();
  if (image.width < 0 || image.height < 0) std::abort();
  const auto w = static_cast<float>(image.width), h = static_cast<float>(image.height);
  for (int i = 0; i < image.FrameCount(); ++i) {
    // A frame the stream left empty is made when first locked, as drawing
    // would; large ones only cost the fuzzer time.
    const bool stored = image.pixmaps[static_cast<size_t>(i)] != nullptr;
    if (!stored && int64_t{image.width} * image.height > MAX_LOCKED_PIXELS) continue;
    const Ref<TPixmap> pixmap = image.Lock(i, 1, 0);
    if (pixmap->Width() != image.width || pixmap->Height() != image.height) std::abort();
    if (!stored) continue;
    TouchPixmap(*pixmap);
    // On itself, a frame collides exactly when one of its texels is opaque.
    const bool hit = QuadsOverlap(At(pixmap, 0, 0, w, h), At(pixmap, 0, 0, w, h));
    if (image.width <= MAX_EXACT_SIDE && image.height <= MAX_EXACT_SIDE &&
        hit != AnyOpaque(*pixmap)) {
      std::abort();
    }
    QuadsOverlap(At(pixmap, 0, 0, w, h), At(nullptr, w / 2, h / 3, w, 1));
    // Against the first frame, or a solid shape where it is empty.
    QuadsOverlap(At(pixmap, 0, 0, w, h), At(image.pixmaps[0], w / 3, -h / 2, w, h));
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  StartDraw2D();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ObjectFuzz().Check(
      data, size,
      [](const Ref<Object>& part) {
        if (auto image = Cast<TImage>(part)) CheckImage(*image);
      },
      [](const Ref<Object>& part) {
        std::vector<Ref<Object>> frames;
        if (auto image = Cast<TImage>(part)) {
          frames.assign(image->pixmaps.begin(), image->pixmaps.end());
        }
        return frames;
      });
  return 0;
}
