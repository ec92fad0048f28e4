#include "graphics/draw2d/glyph_font.h"

#include <algorithm>

#include "graphics/draw2d/draw_display.h"
#include "graphics/draw2d/draw_state.h"
#include "runtime/runtime_error.h"
#include "stream/embedded_file.h"

namespace {

constexpr int FIRST_CHAR = 32, GLYPH_COUNT = 96;
constexpr int GLYPH_WIDTH = 8, GLYPH_HEIGHT = 16;
constexpr int DEFAULT_HEIGHT = 16;
constexpr const char* DEFAULT_FONT_FILE = "kestrafont.bin";

TFontLoader* fontLoaders = nullptr;
Ref<TGlyphFont> defaultFont;

}  // namespace

void AddFontLoader(TFontLoader& loader) {
  if (loader.linked) return;
  loader.next = fontLoaders;
  loader.linked = true;
  fontLoaders = &loader;
}

void TImageGlyph::GetRect(int& outX, int& outY, int& outWidth, int& outHeight) const {
  outX = x;
  outY = y;
  outWidth = width;
  outHeight = height;
}

int TGlyphFont::Style() { return face ? face->Style() : 0; }
int TGlyphFont::Height() { return face ? face->Height() : DEFAULT_HEIGHT; }
int TGlyphFont::CountGlyphs() { return static_cast<int>(glyphs.size()); }

int TGlyphFont::CharToGlyph(int c) {
  if (face) return face->CharToGlyph(c);
  return c >= FIRST_CHAR && c < FIRST_CHAR + GLYPH_COUNT ? c - FIRST_CHAR : -1;
}

Ref<TImageGlyph> TGlyphFont::LoadGlyph(int index) {
  if (index < 0 || index >= CountGlyphs()) return nullptr;
  Ref<TImageGlyph>& glyph = glyphs[static_cast<size_t>(index)];
  if (glyph || !face) return glyph;
  const Ref<TFontGlyph> source = face->LoadGlyph(index);
  glyph = New<TImageGlyph>();
  if (!source) return glyph;
  glyph->advance = source->Advance();
  source->GetRect(glyph->x, glyph->y, glyph->width, glyph->height);
  if (const Ref<TPixmap> pixels = Cast<TPixmap>(source->GlyphPixels())) {
    glyph->image = TImage::Load(pixels->Copy(), imageFlags, 0, 0, 0);
  }
  return glyph;
}

void TGlyphFont::DrawText(const String& text, float x, float y, float ix, float iy, float jx,
                          float jy) {
  for (char16_t c : text.Chars()) {
    const Ref<TImageGlyph> glyph = LoadGlyph(CharToGlyph(c));
    if (!glyph) continue;
    const float gx = static_cast<float>(glyph->x), gy = static_cast<float>(glyph->y);
    const int tx = static_cast<int>(gx * ix + gy * iy);
    const int ty = static_cast<int>(gx * jx + gy * jy);
    if (const Ref<TImage>& image = glyph->image) {
      image->Frame(0)->Render(0, 0, static_cast<float>(image->width),
                              static_cast<float>(image->height), x + static_cast<float>(tx),
                              y + static_cast<float>(ty));
    }
    x += ix * glyph->advance;
    y += jx * glyph->advance;
  }
}

Ref<TGlyphFont> TGlyphFont::Load(const Url& source, int size, int style) {
  for (TFontLoader* loader = fontLoaders; loader; loader = loader->next) {
    const Ref<TFontFace> face = loader->LoadFont(source, size, style);
    if (!face) continue;
    Ref<TGlyphFont> font = New<TGlyphFont>();
    font->face = face;
    font->glyphs.resize(static_cast<size_t>(std::max(face->CountGlyphs(), 0)));
    font->imageFlags = style & FONT_SMOOTH ? IMG_FILTERED | IMG_MIPMAPPED : 0;
    return font;
  }
  return nullptr;
}

Ref<TGlyphFont> TGlyphFont::CreateDefault() {
  StartDraw2D();
  const Ref<TPixmap> strip = detail::FontStrip(DEFAULT_FONT_FILE, GLYPH_COUNT * GLYPH_WIDTH);
  Ref<TGlyphFont> font = New<TGlyphFont>();
  font->glyphs.resize(GLYPH_COUNT);
  for (int g = 0; g < GLYPH_COUNT; g++) {
    Ref<TImageGlyph> glyph = New<TImageGlyph>();
    glyph->advance = static_cast<float>(GLYPH_WIDTH);
    glyph->width = GLYPH_WIDTH;
    glyph->height = GLYPH_HEIGHT;
    glyph->image = TImage::Load(
        strip->Window(g * GLYPH_WIDTH, 0, GLYPH_WIDTH, GLYPH_HEIGHT)->Copy(), 0, 0, 0, 0);
    font->glyphs[static_cast<size_t>(g)] = glyph;
  }
  return font;
}

namespace detail {

Ref<TPixmap> FontStrip(const char* embeddedName, int stripWidth) {
  const uint8_t* bits = EmbeddedFileData(embeddedName);
  if (!bits || EmbeddedFileSize(embeddedName) < GLYPH_COUNT * GLYPH_HEIGHT) {
    throw RuntimeError(String("Font bitmap missing: ") + embeddedName);
  }
  Ref<TPixmap> strip = CreatePixmap(stripWidth, GLYPH_HEIGHT, PIXFMT_RGBA32, 4);
  for (int r = 0; r < GLYPH_HEIGHT; r++) {
    for (int x = 0; x < stripWidth; x++) {
      const int g = x / GLYPH_WIDTH;
      const bool set = g < GLYPH_COUNT && (bits[r * GLYPH_COUNT + g] & (1 << (x % GLYPH_WIDTH)));
      strip->WritePixel(x, r, set ? -1 : 0);
    }
  }
  return strip;
}

}  // namespace detail

Ref<TGlyphFont> LoadGlyphFont(const Url& source, int size, int style) {
  return TGlyphFont::Load(source, size, style);
}

Ref<TGlyphFont> DefaultGlyphFont() {
  if (!defaultFont) defaultFont = TGlyphFont::CreateDefault();
  return defaultFont;
}

int MeasureTextWidth(const String& text) {
  const Ref<TGlyphFont> font = GetGlyphFont();
  float width = 0;
  for (char16_t c : text.Chars()) {
    const int index = font->CharToGlyph(c);
    if (index < 0) continue;
    if (const Ref<TImageGlyph> glyph = font->LoadGlyph(index)) {
      width = static_cast<float>(static_cast<int>(width + glyph->advance));
    }
  }
  return static_cast<int>(width);
}

int MeasureTextHeight(const String&) { return GetGlyphFont()->Height(); }
