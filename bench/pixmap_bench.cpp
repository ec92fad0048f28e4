// Converting and resizing pixmaps. Each conversion is measured against a
// plain per-pixel loop over the same bytes into a new block (the reference).
#include <benchmark/benchmark.h>

#include <memory>

#include "pixmap/pixmap.h"
#include "pixmap/pixmap_transform.h"

namespace {

constexpr int SIZE = 1024;

Ref<TPixmap> Picture(int format, int size = SIZE) {
  auto p = CreatePixmap(size, size, format);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x)
      p->WritePixel(x, y, static_cast<int>((x * 7 + y * 13) * 2654435761u));
  return p;
}

void RgbToRgba_zorp(benchmark::State& state) {
  auto source = Picture(PIXFMT_RGB24);
  for (auto _ : state) benchmark::DoNotOptimize(ConvertPixmap(source, PIXFMT_RGBA32));
}
BENCHMARK(RgbToRgba_zorp)->Name("ConvertRGB24ToRGBA32/zorp");

void RgbToRgba_reference(benchmark::State& state) {
  auto source = Picture(PIXFMT_RGB24);
  for (auto _ : state) {
    std::unique_ptr<uint8_t[]> out(new uint8_t[SIZE * SIZE * 4]);
    for (int y = 0; y < SIZE; ++y) {
      const uint8_t* s = source->PixelPtr(0, y);
      uint8_t* d = out.get() + y * SIZE * 4;
      for (int x = 0; x < SIZE; ++x) {
        d[4 * x] = s[3 * x];
        d[4 * x + 1] = s[3 * x + 1];
        d[4 * x + 2] = s[3 * x + 2];
        d[4 * x + 3] = 255;
      }
    }
    benchmark::DoNotOptimize(out.get());
  }
}
BENCHMARK(RgbToRgba_reference)->Name("ConvertRGB24ToRGBA32/reference");

void BgraToRgba_zorp(benchmark::State& state) {
  auto source = Picture(PIXFMT_BGRA32);
  for (auto _ : state) benchmark::DoNotOptimize(ConvertPixmap(source, PIXFMT_RGBA32));
}
BENCHMARK(BgraToRgba_zorp)->Name("ConvertBGRA32ToRGBA32/zorp");

void BgraToRgba_reference(benchmark::State& state) {
  auto source = Picture(PIXFMT_BGRA32);
  for (auto _ : state) {
    std::unique_ptr<uint8_t[]> out(new uint8_t[SIZE * SIZE * 4]);
    for (int y = 0; y < SIZE; ++y) {
      const uint8_t* s = source->PixelPtr(0, y);
      uint8_t* d = out.get() + y * SIZE * 4;
      for (int x = 0; x < SIZE; ++x) {
        d[4 * x] = s[4 * x + 2];
        d[4 * x + 1] = s[4 * x + 1];
        d[4 * x + 2] = s[4 * x];
        d[4 * x + 3] = s[4 * x + 3];
      }
    }
    benchmark::DoNotOptimize(out.get());
  }
}
BENCHMARK(BgraToRgba_reference)->Name("ConvertBGRA32ToRGBA32/reference");

void Resize(benchmark::State& state) {
  auto source = Picture(PIXFMT_RGBA32, 256);
  for (auto _ : state) benchmark::DoNotOptimize(ResizePixmap(source, 512, 512));
}
BENCHMARK(Resize)->Name("ResizePixmap256To512");

}  // namespace

BENCHMARK_MAIN();
