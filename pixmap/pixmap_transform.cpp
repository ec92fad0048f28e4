#include "pixmap/pixmap_transform.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The pixmap itself when it is RGBA32 already, else an RGBA32 copy.
Ref<TPixmap> AsRgba(const Ref<TPixmap>& pixmap) {
  return pixmap->Format() == PIXFMT_RGBA32 ? pixmap : pixmap->Convert(PIXFMT_RGBA32);
}

// Where one destination coordinate samples the source along one axis.
struct Sample {
  int first, second;  // source indices; equal at the edges
  float weight;       // of the second
};

Sample SampleAt(int index, int sourceSize, int size) {
  const float at = (static_cast<float>(index) + 0.5f) *
                       (static_cast<float>(sourceSize) / static_cast<float>(size)) -
                   0.5f;
  const int first = static_cast<int>(std::floor(at));
  if (first < 0) return {0, 0, 0.0f};
  if (first >= sourceSize - 1) return {sourceSize - 1, sourceSize - 1, 0.0f};
  return {first, first + 1, at - static_cast<float>(first)};
}

}  // namespace

Ref<TPixmap> MaskPixmap(const Ref<TPixmap>& pixmap, int r, int g, int b) {
  const Ref<TPixmap> source = AsRgba(pixmap);
  const int width = source->Width(), height = source->Height();
  auto masked = TPixmap::Create(width, height, PIXFMT_RGBA32, 4);
  auto isKey = [&](const uint8_t* p) { return p[0] == r && p[1] == g && p[2] == b; };
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint8_t* from = source->PixelPtr(x, y);
      uint8_t* to = masked->PixelPtr(x, y);
      if (!isKey(from)) {
        to[0] = from[0], to[1] = from[1], to[2] = from[2], to[3] = 255;
        continue;
      }
      // A key pixel takes the average colour of its non-key neighbours.
      int sum[3] = {0, 0, 0}, count = 0;
      for (int ny = std::max(y - 1, 0); ny <= std::min(y + 1, height - 1); ++ny) {
        for (int nx = std::max(x - 1, 0); nx <= std::min(x + 1, width - 1); ++nx) {
          const uint8_t* n = source->PixelPtr(nx, ny);
          if (isKey(n)) continue;
          for (int c = 0; c < 3; ++c) sum[c] += n[c];
          ++count;
        }
      }
      for (int c = 0; c < 3; ++c) to[c] = static_cast<uint8_t>(count ? sum[c] / count : 0);
      to[3] = 0;
    }
  }
  return masked;
}

Ref<TPixmap> MirrorPixmapX(const Ref<TPixmap>& pixmap) {
  const int width = pixmap->Width(), height = pixmap->Height(), format = pixmap->Format();
  auto mirrored = TPixmap::Create(width, height, format, 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      CopyPixels(pixmap->PixelPtr(width - 1 - x, y), mirrored->PixelPtr(x, y), format, 1);
    }
  }
  return mirrored;
}

Ref<TPixmap> MirrorPixmapY(const Ref<TPixmap>& pixmap) {
  const int width = pixmap->Width(), height = pixmap->Height(), format = pixmap->Format();
  auto mirrored = TPixmap::Create(width, height, format, 4);
  for (int y = 0; y < height; ++y) {
    CopyPixels(pixmap->PixelPtr(0, height - 1 - y), mirrored->PixelPtr(0, y), format, width);
  }
  return mirrored;
}

Ref<TPixmap> ResizePixmap(const Ref<TPixmap>& pixmap, int width, int height) {
  const Ref<TPixmap> source = AsRgba(pixmap);
  const int sourceWidth = source->Width(), sourceHeight = source->Height();
  auto resized = TPixmap::Create(width, height, pixmap->Format(), 4);
  if (sourceWidth == 0 || sourceHeight == 0) return resized;

  std::vector<Sample> columns(static_cast<size_t>(width));
  for (int x = 0; x < width; ++x) columns[static_cast<size_t>(x)] = SampleAt(x, sourceWidth, width);
  std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
  for (int y = 0; y < height; ++y) {
    const Sample rows = SampleAt(y, sourceHeight, height);
    const uint8_t* top = source->PixelPtr(0, rows.first);
    const uint8_t* bottom = source->PixelPtr(0, rows.second);
    for (int x = 0; x < width; ++x) {
      const Sample& column = columns[static_cast<size_t>(x)];
      const int left = column.first * 4, right = column.second * 4;
      for (int c = 0; c < 4; ++c) {
        const float upper = top[left + c] + (top[right + c] - top[left + c]) * column.weight;
        const float lower =
            bottom[left + c] + (bottom[right + c] - bottom[left + c]) * column.weight;
        row[static_cast<size_t>(x) * 4 + c] =
            static_cast<uint8_t>(upper + (lower - upper) * rows.weight);
      }
    }
    ConvertPixels(row.data(), PIXFMT_RGBA32, resized->PixelPtr(0, y), resized->Format(), width);
  }
  return resized;
}
