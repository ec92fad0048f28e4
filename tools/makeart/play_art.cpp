// The play field's tiles, the zorp, its face, the star and the number tiles.

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/makeart/noise.h"
#include "tools/makeart/pictures.h"

namespace {

constexpr int GRASS_SIZE = 128;
constexpr int BORDER_SIZE = 64;
constexpr int CELL = 24;

struct Vector3 {
  double x, y, z;
};

Vector3 Normalised(Vector3 v) {
  const double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  return {v.x / length, v.y / length, v.z / length};
}

double Dot(Vector3 a, Vector3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Every picture is lit from the top left, towards the viewer.
const Vector3 LIGHT = Normalised({-0.45, -0.6, 0.66});

// A shape on a tile that wraps around: the copies that reach over an edge
// come in again on the other side.
Path Wrapped(const Path& shape, int size) {
  const Bounds extent = shape.Extent();
  Path result;
  for (int dy = -size; dy <= size; dy += size) {
    for (int dx = -size; dx <= size; dx += size) {
      if (extent.right + dx < 0 || extent.left + dx > size) continue;
      if (extent.bottom + dy < 0 || extent.top + dy > size) continue;
      result.Append(shape.Transformed(Affine::Translate(dx, dy)));
    }
  }
  return result;
}

// A blade of grass from its root, tapering to the tip and bent sideways.
Path Blade(Point root, double angle, double length, double width, double bend) {
  const double dx = std::cos(angle), dy = std::sin(angle);
  const double px = -dy, py = dx;  // across the blade
  const Point tip = {root.x + dx * length + px * bend, root.y + dy * length + py * bend};
  const Point middle = {root.x + dx * length * 0.55 + px * bend * 0.2,
                        root.y + dy * length * 0.55 + py * bend * 0.2};
  const double half = width / 2;
  Path path;
  path.MoveTo({root.x + px * half, root.y + py * half});
  path.QuadTo({middle.x + px * half * 0.8, middle.y + py * half * 0.8}, tip);
  path.QuadTo({middle.x - px * half * 0.8, middle.y - py * half * 0.8},
              {root.x - px * half, root.y - py * half});
  path.Close();
  return path;
}

Image SphereFrame(double radius, Colour base, Colour rim) {
  return Image::Shade(CELL, CELL, 6, SphereShader({CELL / 2.0, CELL / 2.0}, radius, base, rim));
}

// A five-pointed star of facets, raised in the middle like a cut gem.
Image StarFrame() {
  const Point centre = {12, 12.7};
  const double outer = 11.4, inner = 4.9, height = 4.5;
  std::vector<Point> corners;
  for (int i = 0; i < 10; ++i) {
    const double angle = (-90 + 36 * i) * std::numbers::pi / 180;
    const double r = i % 2 ? inner : outer;
    corners.push_back({centre.x + r * std::cos(angle), centre.y + r * std::sin(angle)});
  }
  Path star;
  star.AddPolygon(corners);
  const Mask body(star, CELL, CELL);
  Image image(CELL, CELL);
  image.Paint(body.Dilated(1.0).Shifted(0, 1).Blurred(1), WithAlpha(Hex(0x000000), 0.35f));
  image.Paint(body.Dilated(0.9), Hex(0x5A3A06));
  image.Paint(body, Hex(0xE8B020));
  const Colour dark = Hex(0xB8740A), light = Hex(0xFFF0A0);
  for (int i = 0; i < 10; ++i) {
    const Point a = corners[i], b = corners[(i + 1) % 10];
    Path facet;
    facet.AddPolygon({centre, a, b});
    // The facet's slope: the centre is raised, the corners lie flat.
    const Vector3 u = {a.x - centre.x, a.y - centre.y, -height};
    const Vector3 v = {b.x - centre.x, b.y - centre.y, -height};
    Vector3 normal =
        Normalised({u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x});
    if (normal.z < 0) normal = {-normal.x, -normal.y, -normal.z};
    const double lit = std::clamp(Dot(normal, LIGHT) * 1.25 - 0.05, 0.0, 1.0);
    image.Paint(Mask(facet, CELL, CELL).Keep(body), Mix(dark, light, float(lit)));
  }
  // A glint on the upper left point.
  Path glint;
  glint.AddPolygon({{7.2, 6.6},
                    {7.8, 8.6},
                    {9.8, 9.2},
                    {7.8, 9.8},
                    {7.2, 11.8},
                    {6.6, 9.8},
                    {4.6, 9.2},
                    {6.6, 8.6}});
  image.Paint(Mask(glint, CELL, CELL), WithAlpha(Hex(0xFFFFFF), 0.9f));
  return image;
}

// The tile colours run from cool to hot.
const int TILE_COLOURS[9] = {0x3050D8, 0x2A86EE, 0x16B4D4, 0x1EC490, 0x9ED424,
                             0xF2CC1C, 0xF69A18, 0xEE5A1A, 0xD8202A};

Image NumberTile(const Typefaces& faces, int number) {
  const Colour base = Hex(TILE_COLOURS[number - 1]);
  Path outer, inner;
  outer.AddRoundRect(1, 1, 23, 23, 4.5);
  inner.AddRoundRect(2.2, 2.2, 21.8, 21.8, 3.4);
  const Mask rim(outer, CELL, CELL), face(inner, CELL, CELL);
  Image image(CELL, CELL);
  image.Paint(Mask(rim).Dilated(0.5).Shifted(1, 1).Blurred(1), WithAlpha(Hex(0x000000), 0.45f));
  image.Paint(rim, Mix(Times(base, 0.38f), Hex(0x0A0A20), 0.25f));
  image.Paint(face, [&](double, double y) {
    const float t = float((y - 2) / 20);
    return Mix(Mix(base, Hex(0xFFFFFF), 0.28f), Times(base, 0.78f), t);
  });
  image.Paint(Mask(face).Cut(face.Shifted(1, 1)), Mix(base, Hex(0xFFFFFF), 0.6f));
  image.Paint(Mask(face).Cut(face.Shifted(-1, -1)), Times(base, 0.55f));

  const char digit[2] = {char('0' + number), 0};
  Path numeral = faces.sans.Glyph(char32_t(digit[0]), 19, true);
  const Bounds extent = numeral.Extent();
  numeral =
      numeral.Transformed(Affine::Translate(std::round(12 - (extent.left + extent.right) / 2),
                                            std::round(12 - (extent.top + extent.bottom) / 2)));
  const Mask glyph(numeral, CELL, CELL);
  const Colour ink = Mix(Times(base, 0.25f), Hex(0x000010), 0.3f);
  image.Paint(Mask(glyph).Add(glyph.Shifted(1, 1)).Dilated(1.0), ink);
  image.Paint(glyph, Hex(0xFFFFFF));
  return image;
}

}  // namespace

Shader SphereShader(Point centre, double radius, Colour base, Colour rim) {
  return [=](double x, double y) -> Colour {
    const double nx = (x - centre.x) / radius, ny = (y - centre.y) / radius;
    const double r2 = nx * nx + ny * ny;
    if (r2 >= 1) return {0, 0, 0, 0};
    const Vector3 normal = {nx, ny, std::sqrt(1 - r2)};
    const double diffuse = std::max(0.0, Dot(normal, LIGHT));
    const Vector3 half = Normalised({LIGHT.x, LIGHT.y, LIGHT.z + 1});
    const double facing = std::max(0.0, Dot(normal, half));
    const double specular = std::pow(facing, 60) * 0.95 + std::pow(facing, 10) * 0.12;
    // Light thrown back from the grass below brightens the lower edge.
    const double bounce = std::pow(std::max(0.0, Dot(normal, Normalised({0.3, 0.8, 0.2}))), 3);
    const double edge = std::pow(1 - normal.z, 1.6);
    Colour c = Times(base, float(0.32 + 0.8 * diffuse));
    c = Mix(c, rim, float(std::clamp(edge * 0.9, 0.0, 0.85)));
    c = Mix(c, Hex(0x9CE07A), float(bounce * 0.18));
    c = Mix(c, Hex(0xFFFFFF), float(std::min(1.0, specular)));
    return c;
  };
}

void PaintFace(Image& image, const Affine& place) {
  // Drawn on the 24 x 24 cell of the face picture, then placed.
  const int width = image.Width(), height = image.Height();
  const double scale = std::hypot(place.a, place.b);
  const auto shape = [&](const Path& path) { return Mask(path.Transformed(place), width, height); };
  const Colour ink = Hex(0x1A0A26);
  Path eyes;
  eyes.AddEllipse({8.2, 9.4}, 3.3, 4.0);
  eyes.AddEllipse({15.8, 9.4}, 3.3, 4.0);
  const Mask whites = shape(eyes);
  const double top = place.Apply({0, 6}).y;
  image.Paint(Mask(whites).Dilated(0.9 * scale), ink);
  image.Paint(whites, [&](double, double y) {
    const double t = (y - top) / (8 * scale);
    return Mix(Hex(0xFFFFFF), Hex(0xC8C0E0), float(std::clamp(t, 0.0, 1.0)));
  });
  // The pupils look ahead, the way the zorp crawls.
  Path pupils, glints;
  pupils.AddCircle({8.5, 8.3}, 1.95);
  pupils.AddCircle({15.5, 8.3}, 1.95);
  glints.AddCircle({7.8, 7.5}, 0.75);
  glints.AddCircle({14.8, 7.5}, 0.75);
  image.Paint(shape(pupils).Keep(whites), ink);
  image.Paint(shape(glints), Hex(0xFFFFFF));

  Path mouth;
  mouth.MoveTo({7.0, 15.0});
  mouth.QuadTo({12, 16.8}, {17.0, 15.0});
  mouth.QuadTo({12, 22.4}, {7.0, 15.0});
  mouth.Close();
  const Mask opening = shape(mouth);
  image.Paint(Mask(opening).Dilated(0.8 * scale), ink);
  image.Paint(opening, Hex(0x4A1030));
  Path tongue;
  tongue.AddEllipse({12, 19.2}, 2.6, 1.6);
  image.Paint(shape(tongue).Keep(opening), Hex(0xE86888));
}

Ref<TPixmap> MakeGrass() {
  Image image = Image::Shade(GRASS_SIZE, GRASS_SIZE, 1, [](double x, double y) {
    const double patches = TileFractalNoise(x / 32, y / 32, 4, 4, 11);
    const double grain = TileNoise(x / 2, y / 2, 64, 12);
    const double t = std::clamp((patches - 0.5) * 2.2 + 0.5 + (grain - 0.5) * 0.25, 0.0, 1.0);
    return Mix(Hex(0x2C6A20), Hex(0x448C2E), float(t));
  });
  Random random(2024);
  for (int i = 0; i < 1100; ++i) {
    const Point root = {random.Between(0, GRASS_SIZE), random.Between(0, GRASS_SIZE)};
    const double angle = (-90 + random.Between(-38, 38)) * std::numbers::pi / 180;
    const double length = random.Between(4, 9.5);
    const double width = random.Between(1.1, 1.8);
    const double bend = random.Between(-2.2, 2.2);
    const double shade = random.Between(0, 1);
    const double opacity = random.Between(0.55, 0.95);
    const Path blade = Blade(root, angle, length, width, bend);
    const Mask mask(Wrapped(blade, GRASS_SIZE), GRASS_SIZE, GRASS_SIZE);
    const Mask shadow(Wrapped(blade.Transformed(Affine::Translate(1, 1)), GRASS_SIZE), GRASS_SIZE,
                      GRASS_SIZE);
    image.Paint(shadow, WithAlpha(Hex(0x1C4A14), float(0.22 * opacity)));
    const Colour colour = Mix(Hex(0x2E6A1E), Hex(0x6CB446), float(shade));
    const double dx = std::cos(angle), dy = std::sin(angle);
    image.Paint(mask, [&](double x, double y) {
      // Darker at the root, lighter towards the tip, measured along the blade
      // from the nearest copy of its root on the wrapped tile.
      const auto nearest = [](double d) { return d - std::round(d / GRASS_SIZE) * GRASS_SIZE; };
      const double along = nearest(x - root.x) * dx + nearest(y - root.y) * dy;
      const float t = float(std::clamp(along / length, 0.0, 1.0));
      return WithAlpha(Mix(Times(colour, 0.8f), Mix(colour, Hex(0xB8E890), 0.15f), t),
                       float(opacity));
    });
  }
  return image.ToPixmap(false);
}

Ref<TPixmap> MakeBorder() {
  const Image image = Image::Shade(BORDER_SIZE, BORDER_SIZE, 4, [](double x, double y) {
    // Four stones of 30 pixels with 2 pixels of mortar between them; the tile's
    // own edge runs through the middle of a mortar line.
    const double u = std::fmod(x + 63, 32), v = std::fmod(y + 63, 32);
    const int stone = int((x + 63) / 32) % 2 + 2 * (int((y + 63) / 32) % 2);
    const double mottle = TileFractalNoise(x / 8, y / 8, 8, 3, 21);
    if (u >= 30 || v >= 30) return Times(Hex(0x1E2438), float(0.9 + mottle * 0.2));
    // Rounded-box distance: negative inside.
    const auto distance = [](double pu, double pv) {
      const double radius = 3.5, half = 15 - radius;
      const double qx = std::abs(pu - 15) - half, qy = std::abs(pv - 15) - half;
      return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) -
             radius;
    };
    const double inside = -distance(u, v);
    if (inside <= 0) return Times(Hex(0x1E2438), float(0.9 + mottle * 0.2));
    const double gx = distance(u + 0.01, v) - distance(u - 0.01, v);
    const double gy = distance(u, v + 0.01) - distance(u, v - 0.01);
    const double bevel = 3.2;
    const double slope = inside < bevel ? 1.1 * (1 - inside / bevel) + 0.35 : 0;
    const double g = std::hypot(gx, gy);
    const Vector3 normal = Normalised({g > 0 ? gx / g * slope : 0, g > 0 ? gy / g * slope : 0, 1});
    // Faces turned from the light stay dim, never black: black is the game's
    // mask colour for pictures without alpha.
    const double lit = std::max(0.3, Dot(normal, LIGHT) / LIGHT.z);
    static const int TINTS[4] = {0x4A5A86, 0x46527C, 0x4C5680, 0x42547E};
    const Colour base = Hex(TINTS[stone]);
    const double grain = TileNoise(x * 1.5, y * 1.5, 96, 22);
    Colour c = Times(base, float((0.86 + mottle * 0.28 + (grain - 0.5) * 0.1) * lit));
    if (lit > 1.15) c = Mix(c, Hex(0xC8D4F0), float(std::min(0.5, (lit - 1.15) * 0.9)));
    return c;
  });
  return image.ToPixmap(false);
}

Ref<TPixmap> MakeZorp() {
  std::vector<Image> frames;
  frames.push_back(SphereFrame(10, Hex(ZORP_BODY), Hex(ZORP_BODY_RIM)));
  frames.push_back(SphereFrame(12, Hex(ZORP_HEAD), Hex(ZORP_HEAD_RIM)));
  return JoinFrames(frames, 2);
}

Ref<TPixmap> MakeFace() {
  Image image(CELL, CELL);
  PaintFace(image, {});
  return JoinFrames({image}, 1);
}

Ref<TPixmap> MakeObjects(const Typefaces& faces) {
  std::vector<Image> frames = {StarFrame()};
  for (int number = 1; number <= 9; ++number) frames.push_back(NumberTile(faces, number));
  return JoinFrames(frames, 5);
}
