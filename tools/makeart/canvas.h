#pragma once
// Painting in floating point: coverage masks, colours, and images with
// premultiplied alpha, turned into 8-bit pixmaps at the end.

#include <functional>
#include <vector>

#include "pixmap/pixmap.h"
#include "tools/makeart/path.h"

// Straight (not premultiplied) colour, each channel 0..1.
struct Colour {
  float r = 0, g = 0, b = 0, a = 1;
};

// 0xRRGGBB, opaque.
Colour Hex(int rgb);
Colour Mix(Colour from, Colour to, float t);
// Red, green and blue times factor; alpha kept.
Colour Times(Colour colour, float factor);
Colour WithAlpha(Colour colour, float alpha);

class Mask {
 public:
  Mask(int width, int height);
  // The shape's coverage.
  Mask(const Path& path, int width, int height);

  int Width() const { return width_; }
  int Height() const { return height_; }
  // 0 outside.
  float At(int x, int y) const;
  float& operator()(int x, int y) { return values_[size_t(y) * width_ + x]; }

  Mask Shifted(int dx, int dy) const;
  // Grown by radius pixels, with a soft round edge.
  Mask Dilated(double radius) const;
  // Softened by three box blurs of the given half width.
  Mask Blurred(int radius) const;
  Mask& Add(const Mask& other);   // the larger of the two
  Mask& Cut(const Mask& other);   // times one minus the other
  Mask& Keep(const Mask& other);  // times the other
  Mask& Multiply(float factor);

 private:
  int width_, height_;
  std::vector<float> values_;
};

using Shader = std::function<Colour(double x, double y)>;

class Image {
 public:
  Image(int width, int height);

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Straight colour of a pixel; transparent black outside.
  Colour At(int x, int y) const;
  // Replaces a pixel with a straight colour.
  void Set(int x, int y, Colour colour);

  // Paints over what is there, through the mask: a flat colour, or a colour
  // per pixel centre.
  void Paint(const Mask& mask, Colour colour);
  void Paint(const Mask& mask, const Shader& shader);
  // Another image over this one with its top-left at (x, y), its colours
  // multiplied by tint and its alpha by opacity; scale enlarges each pixel
  // to a scale x scale block.
  void Draw(const Image& source, int x, int y, Colour tint = {1, 1, 1, 1}, int scale = 1);

  // Supersampled: samples x samples colours per pixel, averaged.
  static Image Shade(int width, int height, int samples, const Shader& shader);
  static Image FromPixmap(const TPixmap& pixmap);
  // RGBA32, or RGB24 when alpha is false (the image is then taken as opaque).
  // Fully transparent pixels take the colour of their neighbours, so that a
  // filtered texture does not darken at the edges.
  Ref<TPixmap> ToPixmap(bool alpha) const;

 private:
  struct Pixel {
    float r = 0, g = 0, b = 0, a = 0;  // premultiplied
  };
  void Over(int x, int y, Colour colour, float coverage);

  int width_, height_;
  std::vector<Pixel> pixels_;
};
