// ImagesOverlap of two 24 x 24 discs that overlap, against the naive test
// that compares every opaque pixel of one frame with every opaque pixel of
// the other (the reference). Both stop at the first shared pixel. Needs an X
// server (DISPLAY) for the display that collisions place images on.
#include <benchmark/benchmark.h>

#include <cmath>

#include "graphics/collide/collide.h"
#include "graphics/display/graphics.h"
#include "graphics/gl/gl_draw.h"
#include "system/system_driver.h"

namespace {

constexpr int SIZE = 24;
constexpr int DX = 14, DY = 10;  // where the second disc lies from the first

Ref<TImage> Disc() {
  Ref<TImage> image = NewImage(SIZE, SIZE, 1, 0);
  Ref<TPixmap> pixmap = LockImageFrame(image, 0, 0, 1);
  const float r = SIZE / 2.0f;
  for (int y = 0; y < SIZE; ++y) {
    for (int x = 0; x < SIZE; ++x) {
      const bool inside = std::hypot(x + 0.5f - r, y + 0.5f - r) < r;
      pixmap->WritePixel(x, y, inside ? -1 : 0xffffff);
    }
  }
  UnlockImageFrame(image, 0);
  return image;
}

bool OpenDisplayFor(benchmark::State& state) {
  StartSystem();
  StartGLDraw2D();
  if (!SystemDriver()->HasDesktop()) {
    state.SkipWithError("No desktop; on Linux set DISPLAY to an X server");
    return false;
  }
  SelectDisplayDriver(GLDrawDriver(), DF_BACKBUFFER);
  OpenDisplay(320, 240, 0, 0, 0);
  return true;
}

void Overlap_zorp(benchmark::State& state) {
  if (!OpenDisplayFor(state)) return;
  const Ref<TImage> a = Disc(), b = Disc();
  for (auto _ : state)
    benchmark::DoNotOptimize(ImagesOverlap(a, 100, 100, 0, b, 100 + DX, 100 + DY, 0));
  CloseOpenedDisplay();
}

void Overlap_reference(benchmark::State& state) {
  const Ref<TImage> a = Disc(), b = Disc();
  const Ref<TPixmap> pa = a->Lock(0, 1, 0), pb = b->Lock(0, 1, 0);
  auto opaque = [](const TPixmap& p, int x, int y) { return p.PixelPtr(x, y)[3] >= 128; };
  for (auto _ : state) {
    bool hit = false;
    for (int ay = 0; ay < SIZE && !hit; ++ay) {
      for (int ax = 0; ax < SIZE && !hit; ++ax) {
        if (!opaque(*pa, ax, ay)) continue;
        for (int by = 0; by < SIZE && !hit; ++by) {
          for (int bx = 0; bx < SIZE && !hit; ++bx) {
            hit = opaque(*pb, bx, by) && ax == bx + DX && ay == by + DY;
          }
        }
      }
    }
    benchmark::DoNotOptimize(hit);
  }
}

BENCHMARK(Overlap_zorp)->Name("ImagesOverlap24/zorp");
BENCHMARK(Overlap_reference)->Name("ImagesOverlap24/reference");

}  // namespace

BENCHMARK_MAIN();
