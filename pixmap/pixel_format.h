#pragma once
// Pixel formats and the conversion of runs of pixels between them. RGBA32 is
// the canonical format: every conversion passes through it.

#include <cstdint>

enum : int {
  PIXFMT_GRAY8 = 1,   // intensity
  PIXFMT_ALPHA8 = 2,  // alpha
  PIXFMT_BGR24 = 3,   // B, G, R
  PIXFMT_RGB24 = 4,   // R, G, B
  PIXFMT_BGRA32 = 5,  // B, G, R, A
  PIXFMT_RGBA32 = 6,  // R, G, B, A
};
constexpr int PIXFMT_COUNT = 7;  // codes 0..6; 0 is no format

// Indexed by format code.
constexpr int BYTES_PER_PIXEL[PIXFMT_COUNT] = {0, 1, 1, 3, 3, 4, 4};
constexpr int BITS_PER_PIXEL[PIXFMT_COUNT] = {0, 8, 8, 24, 24, 32, 32};
// Bits of each of red, green and blue.
constexpr int COLOR_BITS[PIXFMT_COUNT] = {0, 0, 0, 8, 8, 8, 8};
constexpr int ALPHA_BITS[PIXFMT_COUNT] = {0, 0, 8, 0, 0, 8, 8};

// True for the codes 1..6.
constexpr bool IsPixelFormat(int format) { return format >= 1 && format < PIXFMT_COUNT; }

// Copies count pixels of one format.
void CopyPixels(const uint8_t* source, uint8_t* destination, int format, int count);
// Converts count pixels; a conversion between two formats other than RGBA32
// goes through one temporary row of RGBA32 pixels.
void ConvertPixels(const uint8_t* source, int sourceFormat, uint8_t* destination,
                   int destinationFormat, int count);
