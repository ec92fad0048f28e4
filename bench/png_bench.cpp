// Loading a 512 x 512 RGBA PNG through LoadPixmap, against libpng decoding the
// same bytes straight into one buffer. Pairs are named <case>/zorp and
// <case>/reference; scripts/bench prints their ratios.
#include <benchmark/benchmark.h>
#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "pixmap/pixmap_loader.h"
#include "pixmap/png.h"
#include "stream/memory_stream.h"

namespace {

constexpr int SIDE = 512;

[[noreturn]] void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

struct Memory {
  std::vector<uint8_t> bytes;
  size_t position = 0;
};

void WriteData(png_structp png, png_bytep data, size_t length) {
  auto& out = *static_cast<Memory*>(png_get_io_ptr(png));
  out.bytes.insert(out.bytes.end(), data, data + length);
}

void ReadData(png_structp png, png_bytep data, size_t length) {
  auto& in = *static_cast<Memory*>(png_get_io_ptr(png));
  if (length > in.bytes.size() - in.position) png_error(png, "truncated");
  std::memcpy(data, in.bytes.data() + in.position, length);
  in.position += length;
}

bool Encode(png_structp png, png_infop info, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, SIDE, SIDE, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_rows(png, info, rows);
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  return true;
}

// Smooth gradients with a little noise, like painted art: neither flat
// colour (which compresses to nothing) nor pure noise.
const std::vector<uint8_t>& Picture() {
  static const std::vector<uint8_t> png = [] {
    std::vector<uint8_t> pixels(SIDE * SIDE * 4);
    uint32_t noise = 12345;
    std::vector<png_bytep> rows(SIDE);
    for (int y = 0; y < SIDE; ++y) {
      rows[y] = &pixels[y * SIDE * 4];
      for (int x = 0; x < SIDE; ++x) {
        noise = noise * 1664525u + 1013904223u;
        const int n = static_cast<int>(noise >> 29);  // 0..7
        uint8_t* p = rows[y] + 4 * x;
        p[0] = static_cast<uint8_t>(x / 2 + n);
        p[1] = static_cast<uint8_t>(y / 2 + n);
        p[2] = static_cast<uint8_t>((x + y) / 4 + 64);
        p[3] = static_cast<uint8_t>(x < 64 || y < 64 ? x + y : 255);
      }
    }
    Memory out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, WriteData, nullptr);
    const bool ok = Encode(png, info, rows.data());
    png_destroy_write_struct(&png, &info);
    if (!ok) out.bytes.clear();
    return out.bytes;
  }();
  return png;
}

void LoadPNG_zorp(benchmark::State& state) {
  StartPNG();
  std::vector<uint8_t> bytes = Picture();
  for (auto _ : state) {
    Ref<TPixmap> pixmap =
        LoadPixmap(CreateMemoryStream(bytes.data(), static_cast<int>(bytes.size()), true, false));
    if (!pixmap) {
      state.SkipWithError("not loaded");
      break;
    }
    benchmark::DoNotOptimize(pixmap->Pixels());
  }
  state.SetBytesProcessed(state.iterations() * SIDE * SIDE * 4);
}
BENCHMARK(LoadPNG_zorp)->Name("LoadPNG/zorp");

bool Decode(png_structp png, png_infop info, std::unique_ptr<uint8_t[]>& pixels,
            std::vector<png_bytep>& rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  png_read_update_info(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  // Not cleared, like a new pixmap.
  pixels = std::make_unique_for_overwrite<uint8_t[]>(rowBytes * height);
  rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = &pixels[y * rowBytes];
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  return true;
}

// The same transforms, decoded into one buffer made for each picture.
void LoadPNG_reference(benchmark::State& state) {
  Memory in{Picture()};
  for (auto _ : state) {
    in.position = 0;
    std::unique_ptr<uint8_t[]> pixels;
    std::vector<png_bytep> rows;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    png_infop info = png_create_info_struct(png);
    png_set_read_fn(png, &in, ReadData);
    const bool ok = Decode(png, info, pixels, rows);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) state.SkipWithError("not decoded");
    benchmark::DoNotOptimize(pixels.get());
  }
  state.SetBytesProcessed(state.iterations() * SIDE * SIDE * 4);
}
BENCHMARK(LoadPNG_reference)->Name("LoadPNG/reference");

}  // namespace

BENCHMARK_MAIN();
