#include "pixmap/pixel_format.h"

#include <algorithm>
#include <cstring>

#include "runtime/runtime_error.h"

namespace {

// Rows are converted in pieces of this many pixels through one buffer on the
// stack, so no conversion allocates.
constexpr int PIECE = 1024;

using RowConverter = void (*)(const uint8_t* source, uint8_t* destination, int count);

// Little-endian words: byte 0 is the low byte.
uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

void Store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

// Swaps bytes 0 and 2 of every word: BGRA <-> RGBA.
void SwapRedBlue32(const uint8_t* s, uint8_t* d, int count) {
  for (int i = 0; i < count; ++i) {
    const uint32_t v = Load32(s + 4 * i);
    Store32(d + 4 * i, (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16));
  }
}

void GrayToRgba(const uint8_t* s, uint8_t* d, int count) {
  for (int i = 0; i < count; ++i, d += 4) d[0] = d[1] = d[2] = s[i], d[3] = 255;
}

void AlphaToRgba(const uint8_t* s, uint8_t* d, int count) {
  for (int i = 0; i < count; ++i, d += 4) d[0] = d[1] = d[2] = 255, d[3] = s[i];
}

void BgrToRgba(const uint8_t* s, uint8_t* d, int count) {
  for (int i = 0; i < count; ++i, s += 3, d += 4) d[0] = s[2], d[1] = s[1], d[2] = s[0], d[3] = 255;
}

void RgbToRgba(const uint8_t* s, uint8_t* d, int count) {
  for (int i = 0; i < count; ++i, s += 3, d += 4) d[0] = s[0], d[1] = s[1], d[2] = s[2], d[3] = 255;
}

void RgbaToGray(const uint8_t* s, uint8_t* d, int count) {
  for (int i = 0; i < count; ++i, s += 4) d[i] = static_cast<uint8_t>((s[0] + s[1] + s[2]) / 3);
}

void RgbaToAlpha(const uint8_t* s, uint8_t* d, int count) {
  for (int i = 0; i < count; ++i) d[i] = s[4 * i + 3];
}

void RgbaToBgr(const uint8_t* s, uint8_t* d, int count) {
  for (int i = 0; i < count; ++i, s += 4, d += 3) d[0] = s[2], d[1] = s[1], d[2] = s[0];
}

void RgbaToRgb(const uint8_t* s, uint8_t* d, int count) {
  for (int i = 0; i < count; ++i, s += 4, d += 3) d[0] = s[0], d[1] = s[1], d[2] = s[2];
}

// Indexed by format code; RGBA32 itself needs no converter.
constexpr RowConverter TO_RGBA[PIXFMT_COUNT] = {nullptr,   GrayToRgba,    AlphaToRgba, BgrToRgba,
                                                RgbToRgba, SwapRedBlue32, nullptr};
constexpr RowConverter FROM_RGBA[PIXFMT_COUNT] = {nullptr,   RgbaToGray,    RgbaToAlpha, RgbaToBgr,
                                                  RgbaToRgb, SwapRedBlue32, nullptr};

}  // namespace

void CopyPixels(const uint8_t* source, uint8_t* destination, int format, int count) {
  if (!IsPixelFormat(format)) throw RuntimeError("Invalid pixel format");
  if (count > 0)
    std::memcpy(destination, source, static_cast<size_t>(count) * BYTES_PER_PIXEL[format]);
}

void ConvertPixels(const uint8_t* source, int sourceFormat, uint8_t* destination,
                   int destinationFormat, int count) {
  if (!IsPixelFormat(sourceFormat) || !IsPixelFormat(destinationFormat)) {
    throw RuntimeError("Invalid pixel format");
  }
  if (sourceFormat == destinationFormat)
    return CopyPixels(source, destination, sourceFormat, count);
  if (sourceFormat == PIXFMT_RGBA32)
    return FROM_RGBA[destinationFormat](source, destination, count);
  if (destinationFormat == PIXFMT_RGBA32) return TO_RGBA[sourceFormat](source, destination, count);
  alignas(16) uint8_t rgba[PIECE * 4];
  for (int done = 0; done < count; done += PIECE) {
    const int n = std::min(PIECE, count - done);
    TO_RGBA[sourceFormat](source + done * BYTES_PER_PIXEL[sourceFormat], rgba, n);
    FROM_RGBA[destinationFormat](rgba, destination + done * BYTES_PER_PIXEL[destinationFormat], n);
  }
}
