#include "tools/makeart/canvas.h"

#include <algorithm>
#include <cmath>

namespace {

uint8_t ToByte(float value) { return uint8_t(std::lround(std::clamp(value, 0.0f, 1.0f) * 255)); }

// One box blur along rows (step 1) or columns (step width), outside taken as 0.
void BoxBlur(std::vector<float>& values, int count, int lines, int step, int lineStep, int radius) {
  std::vector<float> line(count);
  const float scale = 1.0f / float(2 * radius + 1);
  for (int l = 0; l < lines; ++l) {
    float* base = values.data() + size_t(l) * lineStep;
    for (int i = 0; i < count; ++i) line[i] = base[size_t(i) * step];
    double sum = 0;
    for (int i = 0; i <= radius && i < count; ++i) sum += line[i];
    for (int i = 0; i < count; ++i) {
      base[size_t(i) * step] = float(sum) * scale;
      if (i + radius + 1 < count) sum += line[i + radius + 1];
      if (i - radius >= 0) sum -= line[i - radius];
    }
  }
}

}  // namespace

Colour Hex(int rgb) {
  return {float(rgb >> 16 & 0xFF) / 255, float(rgb >> 8 & 0xFF) / 255, float(rgb & 0xFF) / 255, 1};
}

Colour Mix(Colour from, Colour to, float t) {
  return {from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t, from.b + (to.b - from.b) * t,
          from.a + (to.a - from.a) * t};
}

Colour Times(Colour colour, float factor) {
  return {colour.r * factor, colour.g * factor, colour.b * factor, colour.a};
}

Colour WithAlpha(Colour colour, float alpha) { return {colour.r, colour.g, colour.b, alpha}; }

Mask::Mask(int width, int height)
    : width_(width), height_(height), values_(size_t(width) * height, 0.0f) {}

Mask::Mask(const Path& path, int width, int height)
    : width_(width), height_(height), values_(Rasterize(path, width, height)) {}

float Mask::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return values_[size_t(y) * width_ + x];
}

Mask Mask::Shifted(int dx, int dy) const {
  Mask result(width_, height_);
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) result(x, y) = At(x - dx, y - dy);
  }
  return result;
}

Mask Mask::Dilated(double radius) const {
  const int reach = int(std::ceil(radius + 0.5));
  struct Tap {
    int dx, dy;
    float weight;
  };
  std::vector<Tap> taps;
  for (int dy = -reach; dy <= reach; ++dy) {
    for (int dx = -reach; dx <= reach; ++dx) {
      const double weight = std::clamp(radius + 0.5 - std::hypot(dx, dy), 0.0, 1.0);
      if (weight > 0) taps.push_back({dx, dy, float(weight)});
    }
  }
  Mask result(width_, height_);
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      float best = 0;
      for (const Tap& tap : taps) best = std::max(best, At(x + tap.dx, y + tap.dy) * tap.weight);
      result(x, y) = best;
    }
  }
  return result;
}

Mask Mask::Blurred(int radius) const {
  Mask result = *this;
  for (int pass = 0; pass < 3; ++pass) {
    BoxBlur(result.values_, width_, height_, 1, width_, radius);
    BoxBlur(result.values_, height_, width_, width_, 1, radius);
  }
  return result;
}

Mask& Mask::Add(const Mask& other) {
  for (size_t i = 0; i < values_.size(); ++i) values_[i] = std::max(values_[i], other.values_[i]);
  return *this;
}

Mask& Mask::Cut(const Mask& other) {
  for (size_t i = 0; i < values_.size(); ++i) values_[i] *= 1 - other.values_[i];
  return *this;
}

Mask& Mask::Keep(const Mask& other) {
  for (size_t i = 0; i < values_.size(); ++i) values_[i] *= other.values_[i];
  return *this;
}

Mask& Mask::Multiply(float factor) {
  for (float& value : values_) value *= factor;
  return *this;
}

Image::Image(int width, int height)
    : width_(width), height_(height), pixels_(size_t(width) * height) {}

Colour Image::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return {0, 0, 0, 0};
  const Pixel& p = pixels_[size_t(y) * width_ + x];
  if (p.a <= 0) return {0, 0, 0, 0};
  return {p.r / p.a, p.g / p.a, p.b / p.a, p.a};
}

void Image::Set(int x, int y, Colour colour) {
  const float a = std::clamp(colour.a, 0.0f, 1.0f);
  pixels_[size_t(y) * width_ + x] = {colour.r * a, colour.g * a, colour.b * a, a};
}

void Image::Over(int x, int y, Colour colour, float coverage) {
  const float alpha = std::clamp(colour.a * coverage, 0.0f, 1.0f);
  if (alpha <= 0) return;
  Pixel& p = pixels_[size_t(y) * width_ + x];
  const float keep = 1 - alpha;
  p.r = colour.r * alpha + p.r * keep;
  p.g = colour.g * alpha + p.g * keep;
  p.b = colour.b * alpha + p.b * keep;
  p.a = alpha + p.a * keep;
}

void Image::Paint(const Mask& mask, Colour colour) {
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) Over(x, y, colour, mask.At(x, y));
  }
}

void Image::Paint(const Mask& mask, const Shader& shader) {
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      const float coverage = mask.At(x, y);
      if (coverage > 0) Over(x, y, shader(x + 0.5, y + 0.5), coverage);
    }
  }
}

void Image::Draw(const Image& source, int x, int y, Colour tint, int scale) {
  for (int sy = 0; sy < source.height_ * scale; ++sy) {
    for (int sx = 0; sx < source.width_ * scale; ++sx) {
      const int tx = x + sx, ty = y + sy;
      if (tx < 0 || ty < 0 || tx >= width_ || ty >= height_) continue;
      const Colour c = source.At(sx / scale, sy / scale);
      Over(tx, ty, {c.r * tint.r, c.g * tint.g, c.b * tint.b, c.a}, tint.a);
    }
  }
}

Image Image::Shade(int width, int height, int samples, const Shader& shader) {
  Image image(width, height);
  const float weight = 1.0f / float(samples * samples);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      Pixel sum;
      for (int j = 0; j < samples; ++j) {
        for (int i = 0; i < samples; ++i) {
          const Colour c = shader(x + (i + 0.5) / samples, y + (j + 0.5) / samples);
          const float a = std::clamp(c.a, 0.0f, 1.0f);
          sum.r += c.r * a * weight;
          sum.g += c.g * a * weight;
          sum.b += c.b * a * weight;
          sum.a += a * weight;
        }
      }
      image.pixels_[size_t(y) * width + x] = sum;
    }
  }
  return image;
}

Image Image::FromPixmap(const TPixmap& pixmap) {
  Image image(pixmap.Width(), pixmap.Height());
  for (int y = 0; y < pixmap.Height(); ++y) {
    for (int x = 0; x < pixmap.Width(); ++x) {
      const uint32_t argb = uint32_t(pixmap.ReadPixel(x, y));
      const float a = float(argb >> 24) / 255;
      image.pixels_[size_t(y) * image.width_ + x] = {float(argb >> 16 & 0xFF) / 255 * a,
                                                     float(argb >> 8 & 0xFF) / 255 * a,
                                                     float(argb & 0xFF) / 255 * a, a};
    }
  }
  return image;
}

Ref<TPixmap> Image::ToPixmap(bool alpha) const {
  Ref<TPixmap> pixmap = TPixmap::Create(width_, height_, alpha ? PIXFMT_RGBA32 : PIXFMT_RGB24);
  std::vector<uint8_t> opaque(size_t(width_) * height_);
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      const Colour c =
          alpha ? At(x, y)
                : Colour{pixels_[size_t(y) * width_ + x].r, pixels_[size_t(y) * width_ + x].g,
                         pixels_[size_t(y) * width_ + x].b, 1};
      const uint8_t a = alpha ? ToByte(c.a) : 255;
      opaque[size_t(y) * width_ + x] = a > 0;
      pixmap->WritePixel(
          x, y, int(uint32_t(a) << 24 | ToByte(c.r) << 16 | ToByte(c.g) << 8 | ToByte(c.b)));
    }
  }
  if (!alpha) return pixmap;
  // Two rings of transparent pixels around the shapes take the average colour
  // of the pixels already coloured next to them.
  for (int ring = 0; ring < 2; ++ring) {
    std::vector<uint8_t> coloured = opaque;
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        if (opaque[size_t(y) * width_ + x]) continue;
        int r = 0, g = 0, b = 0, count = 0;
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx, ny = y + dy;
            if (nx < 0 || ny < 0 || nx >= width_ || ny >= height_) continue;
            if (!opaque[size_t(ny) * width_ + nx]) continue;
            const uint32_t argb = uint32_t(pixmap->ReadPixel(nx, ny));
            r += argb >> 16 & 0xFF;
            g += argb >> 8 & 0xFF;
            b += argb & 0xFF;
            ++count;
          }
        }
        if (count == 0) continue;
        pixmap->WritePixel(x, y, (r / count) << 16 | (g / count) << 8 | (b / count));
        coloured[size_t(y) * width_ + x] = 1;
      }
    }
    opaque = coloured;
  }
  return pixmap;
}
