#include "tools/makeart/lettering.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

// Receives FreeType's outline, scaled and flipped so that y grows downwards.
struct OutlineSink {
  Path* path;
  double scale;
  Point origin;

  Point Map(const FT_Vector* v) const {
    return {origin.x + double(v->x) * scale, origin.y - double(v->y) * scale};
  }
};

OutlineSink& Sink(void* user) { return *static_cast<OutlineSink*>(user); }

int MoveTo(const FT_Vector* to, void* user) {
  Sink(user).path->MoveTo(Sink(user).Map(to));
  return 0;
}

int LineTo(const FT_Vector* to, void* user) {
  Sink(user).path->LineTo(Sink(user).Map(to));
  return 0;
}

int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
  Sink(user).path->QuadTo(Sink(user).Map(control), Sink(user).Map(to));
  return 0;
}

int CubicTo(const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to, void* user) {
  const OutlineSink& sink = Sink(user);
  sink.path->CubicTo(sink.Map(control1), sink.Map(control2), sink.Map(to));
  return 0;
}

constexpr FT_Outline_Funcs OUTLINE_FUNCS = {MoveTo, LineTo, ConicTo, CubicTo, 0, 0};

}  // namespace

Typeface::Typeface(const std::string& file) {
  if (FT_Init_FreeType(&library_)) throw std::runtime_error("FreeType does not start");
  if (FT_New_Face(library_, file.c_str(), 0, &face_)) {
    FT_Done_FreeType(library_);
    throw std::runtime_error("cannot open the font " + file);
  }
}

Typeface::~Typeface() {
  FT_Done_Face(face_);
  FT_Done_FreeType(library_);
}

Path Typeface::Glyph(char32_t code, double ppem, bool hinted, double* advance) const {
  const FT_UInt index = FT_Get_Char_Index(face_, code);
  if (index == 0) throw std::runtime_error("the font has no glyph for a character of the art");
  FT_Int32 flags = FT_LOAD_NO_BITMAP;
  double scale = 1.0 / 64;
  if (hinted) {
    if (FT_Set_Pixel_Sizes(face_, 0, FT_UInt(std::lround(ppem)))) {
      throw std::runtime_error("the font has no size " + std::to_string(ppem));
    }
  } else {
    flags |= FT_LOAD_NO_SCALE;
    scale = ppem / face_->units_per_EM;
  }
  if (FT_Load_Glyph(face_, index, flags)) throw std::runtime_error("a glyph does not load");
  const FT_GlyphSlot slot = face_->glyph;
  Path path;
  OutlineSink sink{&path, scale, {0, 0}};
  if (FT_Outline_Decompose(&slot->outline, &OUTLINE_FUNCS, &sink)) {
    throw std::runtime_error("a glyph outline does not decompose");
  }
  if (advance) *advance = double(slot->advance.x) * scale;
  return path;
}

Path Typeface::Text(std::string_view text, double ppem, double tracking) const {
  Path line;
  double pen = 0;
  for (char c : text) {
    double advance = 0;
    line.Append(Glyph(static_cast<unsigned char>(c), ppem, false, &advance)
                    .Transformed(Affine::Translate(pen, 0)));
    pen += advance + tracking;
  }
  return line;
}

Affine FitTransform(const Bounds& extent, const Bounds& target, bool keepAspect) {
  if (extent.Empty()) return {};
  double sx = target.Width() / extent.Width(), sy = target.Height() / extent.Height();
  if (keepAspect) sx = sy = std::min(sx, sy);
  const double x = target.left + (target.Width() - extent.Width() * sx) / 2;
  const double y = target.top + (target.Height() - extent.Height() * sy) / 2;
  return Affine::Translate(x, y)
      .After(Affine::Scale(sx, sy))
      .After(Affine::Translate(-extent.left, -extent.top));
}

Path FitTo(const Path& shape, const Bounds& target, bool keepAspect) {
  return shape.Transformed(FitTransform(shape.Extent(), target, keepAspect));
}

void PaintLettering(Image& image, const Path& letters, const LetteringStyle& style) {
  const int width = image.Width(), height = image.Height();
  const Mask face(letters, width, height);
  Mask body = face;
  for (int k = 1; k <= style.depth; ++k) body.Add(face.Shifted(k * style.depthX, k * style.depthY));
  const Mask outline = body.Dilated(style.outlineWidth);

  if (style.shadow.a > 0) {
    image.Paint(outline.Shifted(style.shadowX, style.shadowY).Blurred(style.shadowBlur),
                style.shadow);
  }
  image.Paint(outline, style.outline);
  for (int k = style.depth; k >= 1; --k) {
    const float t = float(k) / float(style.depth);
    image.Paint(face.Shifted(k * style.depthX, k * style.depthY),
                Mix(style.sideNear, style.sideFar, t));
  }
  const Bounds extent = letters.Extent();
  const Shader gradient = [&](double, double y) {
    const double t = std::clamp((y - extent.top) / extent.Height(), 0.0, 1.0);
    return Mix(style.faceTop, style.faceBottom, float(t));
  };
  image.Paint(face, gradient);
  image.Paint(Mask(face).Cut(face.Shifted(style.bevel, style.bevel)), style.bevelLight);
  image.Paint(Mask(face).Cut(face.Shifted(-style.bevel, -style.bevel)), style.bevelDark);
  if (style.gloss.a > 0) {
    // A sheen over the upper half, fading out towards the middle.
    const Shader gloss = [&](double, double y) {
      const double t = (y - extent.top) / (extent.Height() * 0.5);
      return WithAlpha(style.gloss, style.gloss.a * float(std::clamp(1 - t, 0.0, 1.0)));
    };
    image.Paint(Mask(face).Cut(face.Shifted(-style.bevel, -style.bevel)), gloss);
  }
}
