// The game's name, the Get Ready and Game Over words, and the publisher's
// marks.

#include <cmath>
#include <numbers>
#include <string_view>
#include <vector>

#include "tools/makeart/pictures.h"

namespace {

// The colours of one kind of lettering.
struct Palette {
  int faceTop, faceBottom, bevelLight, bevelDark, outline, sideNear, sideFar;
  float gloss;
};

constexpr Palette GOLD = {0xFFF8B0, 0xFF8A10, 0xFFFFF0, 0xB84A00,
                          0x2A0E04, 0xC04A08, 0x4A1404, 0.35f};
constexpr Palette ICE = {0xF0FCFF, 0x2C9CF0, 0xFFFFFF, 0x0C4E9A,
                         0x06142C, 0x1656A8, 0x061838, 0.35f};
constexpr Palette FIRE = {0xFFE08A, 0xE0141C, 0xFFF4D0, 0x8A0A10,
                          0x1E0406, 0x9A0C12, 0x2E0206, 0.35f};
// The publisher's cream and old gold, and the pale blue of its small print.
constexpr Palette PARCHMENT = {0xFFF6DC, 0xD8AE60, 0xFFFFF4, 0x9A7030,
                               0x140C18, 0x8A6428, 0x3A260C, 0.2f};
constexpr Palette MOONLIGHT = {0xE4ECFF, 0xA8BCE0, 0xFFFFF4, 0xA8BCE0,
                               0x140C18, 0x8A6428, 0x3A260C, 0};

// Flat lettering (depth 0) also goes without a shadow.
LetteringStyle Style(const Palette& palette, int depth, double outline) {
  LetteringStyle style;
  style.faceTop = Hex(palette.faceTop);
  style.faceBottom = Hex(palette.faceBottom);
  style.bevelLight = Hex(palette.bevelLight);
  style.bevelDark = Hex(palette.bevelDark);
  style.gloss = WithAlpha(Hex(0xFFFFFF), palette.gloss);
  style.outline = Hex(palette.outline);
  style.outlineWidth = outline;
  style.sideNear = Hex(palette.sideNear);
  style.sideFar = Hex(palette.sideFar);
  style.depth = depth;
  style.shadow = WithAlpha(Hex(0x000000), depth > 0 ? 0.55f : 0);
  return style;
}

// Text lines one under the other, each centred on the first's middle, with
// the given gap between them (in the typeface's pixels at ppem).
Path Lines(const Typeface& typeface, const std::vector<std::string>& lines, double ppem, double gap,
           double tracking) {
  Path result;
  double y = 0;
  double middle = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    Path line = typeface.Text(lines[i], ppem, tracking);
    const Bounds extent = line.Extent();
    if (i == 0) middle = (extent.left + extent.right) / 2;
    result.Append(line.Transformed(
        Affine::Translate(middle - (extent.left + extent.right) / 2, y - extent.top)));
    y += extent.Height() + gap;
  }
  return result;
}

// A four-pointed twinkle.
Path Twinkle(Point centre, double size) {
  Path path;
  const double waist = size * 0.18;
  path.AddPolygon({{centre.x, centre.y - size},
                   {centre.x + waist, centre.y - waist},
                   {centre.x + size, centre.y},
                   {centre.x + waist, centre.y + waist},
                   {centre.x, centre.y + size},
                   {centre.x - waist, centre.y + waist},
                   {centre.x - size, centre.y},
                   {centre.x - waist, centre.y - waist}});
  return path;
}

Ref<TPixmap> WordArt(const Path& letters, int width, int height, const Bounds& box,
                     const LetteringStyle& style) {
  Image image(width, height);
  PaintLettering(image, FitTo(letters, box, false), style);
  return image.ToPixmap(true);
}

// A quill feather lying from its nib to its tip, in a frame where the disc of
// the publisher's emblem has radius 1 around (0, 0).
struct Quill {
  Point nib = {-0.58, 0.66};
  Point tip = {0.66, -0.8};

  Point At(double along, double across) const {
    const double dx = tip.x - nib.x, dy = tip.y - nib.y;
    const double length = std::hypot(dx, dy);
    return {nib.x + dx * along + (-dy / length) * across,
            nib.y + dy * along + (dx / length) * across};
  }

  // The vane: wider on one side, with a few notches cut into its edges.
  Path Vane() const {
    std::vector<Point> points;
    const int steps = 120;
    const double start = 0.2;
    const auto width = [&](double t, double side) {
      const double s = (t - start) / (1 - start);
      double w =
          std::pow(std::sin(std::numbers::pi * std::pow(s, 0.8)), 0.75) * (side > 0 ? 0.21 : 0.15);
      // Notches: the barbs part here and there.
      const double notches[] = {side > 0 ? 0.42 : 0.36, side > 0 ? 0.7 : 0.61};
      for (double n : notches) w *= 1 - 0.45 * std::max(0.0, 1 - std::abs(s - n) / 0.035);
      return w;
    };
    for (int i = 0; i <= steps; ++i) {
      const double t = start + (1 - start) * i / steps;
      points.push_back(At(t, width(t, 1)));
    }
    for (int i = steps; i >= 0; --i) {
      const double t = start + (1 - start) * i / steps;
      points.push_back(At(t, -width(t, -1)));
    }
    Path path;
    path.AddPolygon(points);
    return path;
  }
};

// The publisher's emblem: a quill over a moor by night, in a gold ring.
void PaintEmblem(Image& image, Point centre, double radius) {
  const int width = image.Width(), height = image.Height();
  const Affine place = Affine::Translate(centre.x, centre.y).After(Affine::Scale(radius, radius));
  const auto shape = [&](const Path& unit) { return Mask(unit.Transformed(place), width, height); };
  Path discPath, ringPath;
  discPath.AddCircle({0, 0}, 0.9);
  ringPath.AddCircle({0, 0}, 1.0);
  const Mask disc = shape(discPath), ring = shape(ringPath);
  const double line = std::max(1.0, radius / 40);

  image.Paint(Mask(ring).Dilated(line).Shifted(int(line * 2), int(line * 3)).Blurred(int(line * 2)),
              WithAlpha(Hex(0x000000), 0.5f));
  image.Paint(Mask(ring).Dilated(line), Hex(0x120A14));
  image.Paint(ring, [&](double x, double y) {
    const double t = ((x - centre.x) * -0.5 + (y - centre.y) * -0.8) / radius;
    return Mix(Hex(0x9A6A1C), Hex(0xFFE08A), float(std::clamp(0.5 + t * 0.6, 0.0, 1.0)));
  });
  image.Paint(Mask(disc).Dilated(line * 0.8), Hex(0x3A2608));
  image.Paint(disc, [&](double, double y) {
    const float t = float(std::clamp((y - centre.y + radius) / (2 * radius), 0.0, 1.0));
    return Mix(Hex(0x141A44), Hex(0x2A5A7A), t);
  });
  // The moon and its glow, clear of the quill.
  Path moon, glow;
  moon.AddCircle({-0.38, -0.36}, 0.17);
  glow.AddCircle({-0.38, -0.36}, 0.34);
  image.Paint(shape(glow).Blurred(std::max(1, int(radius * 0.08))).Keep(disc),
              WithAlpha(Hex(0xFFF4C8), 0.35f));
  image.Paint(shape(moon).Keep(disc), Hex(0xFFF6D8));
  // Stars in the sky.
  const Point stars[] = {{-0.05, -0.7}, {-0.68, -0.12}, {0.2, -0.78}, {0.6, -0.05}, {0.7, -0.32}};
  for (const Point& star : stars) {
    image.Paint(shape(Twinkle(star, 0.06)).Keep(disc), WithAlpha(Hex(0xFFFFFF), 0.85f));
  }
  // Two rolling hills of the moor.
  Path far, near;
  far.MoveTo({-1.1, 0.32});
  far.CubicTo({-0.6, 0.02}, {-0.1, 0.12}, {0.3, 0.3});
  far.CubicTo({0.6, 0.2}, {0.9, 0.12}, {1.1, 0.2});
  far.LineTo({1.1, 1.1});
  far.LineTo({-1.1, 1.1});
  near.MoveTo({-1.1, 0.62});
  near.CubicTo({-0.5, 0.36}, {0.3, 0.38}, {1.1, 0.58});
  near.LineTo({1.1, 1.1});
  near.LineTo({-1.1, 1.1});
  image.Paint(shape(far).Keep(disc), Hex(0x1E4A3C));
  image.Paint(shape(near).Keep(disc), [&](double, double y) {
    const float t = float(std::clamp((y - centre.y - radius * 0.4) / (radius * 0.5), 0.0, 1.0));
    return Mix(Hex(0x2C6A44), Hex(0x163824), t);
  });

  // The quill reaches out over the ring.
  const Quill quill;
  const Mask vane = shape(quill.Vane());
  image.Paint(
      Mask(vane).Dilated(line * 1.6).Shifted(int(line * 2), int(line * 2)).Blurred(int(line)),
      WithAlpha(Hex(0x000000), 0.45f));
  image.Paint(Mask(vane).Dilated(line), Hex(0x1A1020));
  const Point nib = place.Apply(quill.nib), tip = place.Apply(quill.tip);
  const double length = std::hypot(tip.x - nib.x, tip.y - nib.y);
  image.Paint(vane, [&](double x, double y) {
    // Lighter along the shaft, warmer at the edges.
    const double along = ((x - nib.x) * (tip.x - nib.x) + (y - nib.y) * (tip.y - nib.y)) / length;
    const double across = ((x - nib.x) * (tip.y - nib.y) - (y - nib.y) * (tip.x - nib.x)) / length;
    const double edge = std::min(1.0, std::abs(across) / (radius * 0.2));
    const double barbs = 0.5 + 0.5 * std::sin((along + std::abs(across) * 1.6) / radius * 70);
    Colour c = Mix(Hex(0xFFFCF0), Hex(0xE0C890), float(edge));
    return Times(c, float(0.93 + 0.07 * barbs));
  });
  // The shaft, and the nib dipped in ink.
  std::vector<Point> shaft;
  for (int i = 0; i <= 40; ++i) shaft.push_back(place.Apply(quill.At(0.04 + 0.9 * i / 40, 0)));
  image.Paint(Mask(Stroke(shaft, line * 2.6), width, height), Hex(0x1A1020));
  image.Paint(Mask(Stroke(shaft, line * 1.2), width, height), Hex(0xFFF8E8));
  Path nibPath;
  nibPath.AddPolygon({place.Apply(quill.At(0.0, 0)), place.Apply(quill.At(0.13, 0.035)),
                      place.Apply(quill.At(0.13, -0.035))});
  image.Paint(Mask(nibPath, width, height).Dilated(line * 0.7), Hex(0x1A1020));
  image.Paint(Mask(nibPath, width, height), Hex(0x3050A8));
}

// The lines of the publisher's name under the emblem.
void PaintPublisherName(Image& image, const Typefaces& faces, const Bounds& nameBox,
                        const Bounds& softwareBox, double outline, int depth) {
  PaintLettering(image, FitTo(faces.serif.Text("QUILLMOOR", 100, 2), nameBox, true),
                 Style(PARCHMENT, depth, outline));
  PaintLettering(image, FitTo(faces.sans.Text("SOFTWARE", 100, 30), softwareBox, true),
                 Style(MOONLIGHT, 0, outline * 0.7));
}

// ZORP in gold, with the zorp's own head, face and all, for its O.
void PaintGameName(Image& image, const Typefaces& faces, const Bounds& box,
                   const LetteringStyle& style) {
  constexpr std::string_view NAME = "ZORP";
  constexpr double SIZE = 100, TRACKING = 5;
  std::vector<Path> letters;
  Path all;
  double pen = 0;
  for (char c : NAME) {
    double advance = 0;
    letters.push_back(faces.sans.Glyph(char32_t(c), SIZE, false, &advance)
                          .Transformed(Affine::Translate(pen, 0).After(Affine::Slant(0.12))));
    all.Append(letters.back());
    pen += advance + TRACKING;
  }
  const Affine fit = FitTransform(all.Extent(), box, false);
  Path rest;
  for (size_t i = 0; i < letters.size(); ++i) {
    if (NAME[i] != 'O') rest.Append(letters[i].Transformed(fit));
  }
  PaintLettering(image, rest, style);

  const Bounds o = letters[NAME.find('O')].Transformed(fit).Extent();
  const Point centre = {(o.left + o.right) / 2, (o.top + o.bottom) / 2};
  const double radius = std::min(o.Width(), o.Height()) / 2 + style.outlineWidth * 0.5;
  Path ball;
  ball.AddCircle(centre, radius);
  const Mask disc(ball, image.Width(), image.Height());
  const Mask outline = disc.Dilated(style.outlineWidth);
  image.Paint(Mask(outline).Shifted(style.shadowX, style.shadowY).Blurred(style.shadowBlur),
              style.shadow);
  image.Paint(outline, style.outline);
  image.Paint(disc, SphereShader(centre, radius, Hex(ZORP_HEAD), Hex(ZORP_HEAD_RIM)));
  // The face fills the head as it does on the 24-pixel sprite.
  const double scale = radius / 12;
  PaintFace(image, Affine::Translate(centre.x - 12 * scale, centre.y - 12 * scale)
                       .After(Affine::Scale(scale, scale)));
}

}  // namespace

Ref<TPixmap> MakeLogo(const Typefaces& faces) {
  Image image(176, 44);
  LetteringStyle style = Style(GOLD, 3, 2);
  style.shadowX = 2;
  style.shadowY = 2;
  style.shadowBlur = 1;
  PaintGameName(image, faces, {20, 4, 151, 36}, style);
  return image.ToPixmap(true);
}

Ref<TPixmap> MakeTitle(const Typefaces& faces) {
  Image image(428, 104);
  PaintGameName(image, faces, {34, 8, 382, 86}, Style(GOLD, 8, 3.5));
  const Point twinkles[] = {{40, 12}, {388, 78}, {402, 60}};
  const double sizes[] = {11, 9, 5};
  for (int i = 0; i < 3; ++i) {
    const Mask glint(Twinkle(twinkles[i], sizes[i]), image.Width(), image.Height());
    image.Paint(Mask(glint).Dilated(1.0).Blurred(1), WithAlpha(Hex(0xFFD040), 0.6f));
    image.Paint(glint, Hex(0xFFFFF0));
  }
  return image.ToPixmap(true);
}

Ref<TPixmap> MakeReady(const Typefaces& faces) {
  const Path letters = Lines(faces.sans, {"GET", "READY"}, 100, 14, 3);
  return WordArt(letters, 300, 170, {14, 10, 278, 152}, Style(ICE, 6, 3));
}

Ref<TPixmap> MakeGameOver(const Typefaces& faces) {
  const Path letters = Lines(faces.sans, {"GAME", "OVER"}, 100, 14, 3);
  return WordArt(letters, 256, 168, {14, 10, 234, 150}, Style(FIRE, 6, 3));
}

Ref<TPixmap> MakePresents(const Typefaces& faces) {
  Image image(312, 64);
  PaintLettering(image,
                 FitTo(faces.serif.Text("QUILLMOOR SOFTWARE", 100, 2), {6, 4, 306, 32}, true),
                 Style(PARCHMENT, 2, 1.6));
  const Path presents = FitTo(faces.sans.Text("PRESENTS", 100, 40), {106, 42, 206, 56}, true);
  PaintLettering(image, presents, Style(MOONLIGHT, 0, 1.2));
  // Fine gold rules either side of the word.
  const Bounds word = presents.Extent();
  const double y = (word.top + word.bottom) / 2;
  for (int side = 0; side < 2; ++side) {
    const double from = side ? word.right + 10 : word.left - 10;
    const double to = side ? from + 70 : from - 70;
    image.Paint(Mask(Stroke({{from, y}, {to, y}}, 1.6), 312, 64), [&](double x, double) {
      const double t = std::abs(x - from) / 70;
      return WithAlpha(Hex(0xE0B860), float(1 - t * t));
    });
  }
  return image.ToPixmap(true);
}

Ref<TPixmap> MakePublisherSmall(const Typefaces& faces) {
  Image image(128, 85);
  Path plate;
  plate.AddRoundRect(1.5, 1.5, 126.5, 83.5, 9);
  const Mask plateMask(plate, 128, 85);
  image.Paint(Mask(plateMask).Dilated(1), WithAlpha(Hex(0x0C0814), 0.9f));
  image.Paint(plateMask, [](double, double y) {
    return WithAlpha(Mix(Hex(0x2A2450), Hex(0x141030), float(y / 85)), 0.88f);
  });
  image.Paint(Mask(plateMask).Cut(plateMask.Shifted(1, 1)), WithAlpha(Hex(0xE0C070), 0.7f));
  PaintEmblem(image, {64, 28}, 22);
  PaintPublisherName(image, faces, {10, 54, 118, 68}, {30, 72, 98, 79}, 1.2, 1);
  return image.ToPixmap(true);
}

Ref<TPixmap> MakePublisherLarge(const Typefaces& faces) {
  Image image(480, 320);
  PaintEmblem(image, {240, 112}, 98);
  PaintPublisherName(image, faces, {50, 228, 430, 278}, {140, 292, 340, 310}, 2.5, 4);
  return image.ToPixmap(true);
}
