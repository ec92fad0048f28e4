// The game's icon: the zorp's head, face and all, with its body trailing
// behind it, on a rounded tile of grass. Each size is painted at that size,
// leaving out what would only blur there: below 48 pixels the grass's
// texture and the face's details (the eyes go on whole pixels instead),
// below 32 one of the body balls.

#include <algorithm>
#include <cmath>

#include "tools/makeart/noise.h"
#include "tools/makeart/pictures.h"

namespace {

// The icon is laid out on a 256-unit square and scaled to each size.
constexpr double DESIGN = 256;

struct Ball {
  Point centre;
  double radius;
};

// The body balls from the tail up to the head; the zorp crawls up and to
// the right out of the tile's lower left corner.
constexpr Ball BODY[] = {{{52, 212}, 36}, {{92, 170}, 42}};
constexpr Ball HEAD = {{158, 112}, 74};
// At the smallest sizes one larger body ball says "chain" more clearly.
constexpr Ball SMALL_BODY = {{72, 188}, 50};
constexpr Ball SMALL_HEAD = {{152, 110}, 80};

const Colour INK = Hex(0x1A0A26);

struct Layout {
  double scale;    // pixels per design unit
  double inset;    // transparent margin around the tile, in pixels
  double radius;   // the tile's corner radius, in pixels
  double outline;  // dark edge around tile and zorp, in pixels
  bool detailed;   // grass texture and the sprite's full face
  bool chain;      // two body balls behind the head instead of one
};

Layout LayoutFor(int size) {
  const double scale = size / DESIGN;
  if (size < 32) return {scale, size < 24 ? 0.0 : 1.0, size * 0.2, 1.0, false, false};
  return {scale, size / 32.0, size * 0.19, std::max(1.0, size / 48.0), size >= 48, true};
}

Point Place(Point p, const Layout& layout) { return {p.x * layout.scale, p.y * layout.scale}; }

void PaintTile(Image& image, const Mask& tile, const Layout& layout) {
  const double size = image.Width();
  image.Paint(tile, Hex(0x12301A));
  Path face;
  const double edge = layout.inset + layout.outline;
  face.AddRoundRect(edge, edge, size - edge, size - edge, std::max(1.0, layout.radius - 1));
  const Mask grass(face, image.Width(), image.Height());
  image.Paint(grass, [&](double x, double y) {
    const float t = float(std::clamp(y / size, 0.0, 1.0));
    Colour c = Mix(Hex(0x6CBE46), Hex(0x2C6A20), t);
    if (!layout.detailed) return c;
    // The play field's mottled grass, its patches the size of the tile's.
    const double patches = TileFractalNoise(x / size * 4, y / size * 4, 4, 3, 11);
    const double grain = TileNoise(x / size * 48, y / size * 48, 48, 12);
    return Times(c, float(0.86 + patches * 0.22 + (grain - 0.5) * 0.12));
  });
  // Light along the top edge, as on the number tiles.
  image.Paint(Mask(grass).Cut(grass.Shifted(0, std::max(1, int(layout.scale * 6)))),
              WithAlpha(Hex(0xC8F0A0), 0.55f));
}

void PaintBall(Image& image, const Ball& ball, const Layout& layout, bool head) {
  const Point centre = Place(ball.centre, layout);
  const double radius = ball.radius * layout.scale;
  Path outline;
  outline.AddCircle(centre, radius + layout.outline);
  image.Paint(Mask(outline, image.Width(), image.Height()), INK);
  const Image shaded = Image::Shade(image.Width(), image.Height(), 6,
                                    SphereShader(centre, radius, Hex(head ? ZORP_HEAD : ZORP_BODY),
                                                 Hex(head ? ZORP_HEAD_RIM : ZORP_BODY_RIM)));
  image.Draw(shaded, 0, 0);
}

// Eyes on whole pixels, looking up as on the sprite, and a smile: what
// of the face reads at 16 to 32 pixels.
void PaintSmallFace(Image& image, const Ball& head, const Layout& layout) {
  const Point centre = Place(head.centre, layout);
  const double r = head.radius * layout.scale;
  const int width = image.Width(), height = image.Height();
  const double eyeWidth = std::round(r * 0.42), eyeHeight = std::round(r * 0.62);
  const double gap = std::max(1.0, std::round(r * 0.14));
  const double left = std::round(centre.x - eyeWidth - gap / 2);
  const double top = std::round(centre.y - r * 0.62);
  for (double x : {left, left + eyeWidth + gap}) {
    Path white, pupil;
    white.AddRoundRect(x, top, x + eyeWidth, top + eyeHeight, eyeWidth * 0.35);
    const double pupilWidth = std::ceil(eyeWidth / 2), pupilHeight = std::ceil(eyeHeight / 2);
    const double pupilX = x < centre.x ? x + eyeWidth - pupilWidth : x;
    pupil.AddRoundRect(pupilX, top, pupilX + pupilWidth, top + pupilHeight, 0.3);
    image.Paint(Mask(white, width, height), Hex(0xFFFFFF));
    image.Paint(Mask(pupil, width, height), INK);
  }
  const double mouthY = top + eyeHeight + std::max(1.0, std::round(r * 0.2)) + 0.5;
  const double half = eyeWidth + gap / 2 - 0.5;
  const Path smile = Stroke(QuadPoints({centre.x - half, mouthY}, {centre.x, mouthY + r * 0.45},
                                       {centre.x + half, mouthY}, 8),
                            1.0);
  // The sprite's pink tongue stands out on the dark lower half of the head
  // where a dark line would not.
  image.Paint(Mask(smile, width, height), Hex(0xF07898));
}

Ref<TPixmap> MakeIcon(int size) {
  const Layout layout = LayoutFor(size);
  Image image(size, size);
  Path outer;
  outer.AddRoundRect(layout.inset, layout.inset, size - layout.inset, size - layout.inset,
                     layout.radius);
  const Mask tile(outer, size, size);
  PaintTile(image, tile, layout);

  // Everything on the tile stays inside it.
  Image zorp(size, size);
  const Ball& head = layout.chain ? HEAD : SMALL_HEAD;
  if (layout.chain) {
    for (const Ball& ball : BODY) PaintBall(zorp, ball, layout, false);
  } else {
    PaintBall(zorp, SMALL_BODY, layout, false);
  }
  PaintBall(zorp, head, layout, true);
  if (layout.detailed) {
    // The face fills the head as it does on the 24-pixel sprite.
    const double scale = head.radius * layout.scale / 12;
    const Point centre = Place(head.centre, layout);
    PaintFace(zorp, Affine::Translate(centre.x - 12 * scale, centre.y - 12 * scale)
                        .After(Affine::Scale(scale, scale)));
  } else {
    PaintSmallFace(zorp, head, layout);
  }
  Image clipped(size, size);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const Colour c = zorp.At(x, y);
      clipped.Set(x, y, WithAlpha(c, c.a * tile.At(x, y)));
    }
  }
  image.Draw(clipped, 0, 0);
  return image.ToPixmap(true);
}

}  // namespace

std::vector<Picture> MakeIcons() {
  std::vector<Picture> icons;
  for (int size : ICON_SIZES)
    icons.push_back({"icons/zorp-" + std::to_string(size) + ".png", MakeIcon(size)});
  return icons;
}
