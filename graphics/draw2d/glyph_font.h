#pragma once
// Glyph fonts: fonts whose glyphs are images, drawn by DrawString. The
// built-in one is an 8 x 16 font for codes 32..127 from an embedded bitmap;
// others come from font loaders (none is registered by the engine itself).

#include <vector>

#include "graphics/draw2d/image.h"

enum : int { FONT_SMOOTH = 4 };

// One glyph of a font source.
class TFontGlyph : public Object {
 public:
  // A TPixmap, or null for an empty glyph.
  virtual Ref<Object> GlyphPixels() = 0;
  virtual float Advance() = 0;
  virtual void GetRect(int& x, int& y, int& width, int& height) = 0;
};

// A font source: a face of some size and style.
class TFontFace : public Object {
 public:
  virtual int Style() = 0;
  virtual int Height() = 0;
  virtual int CountGlyphs() = 0;
  // A glyph index, or -1.
  virtual int CharToGlyph(int c) = 0;
  virtual Ref<TFontGlyph> LoadGlyph(int index) = 0;
};

// Loaders live as long as the process; the newest is asked first.
class TFontLoader {
 public:
  TFontLoader() = default;
  TFontLoader(const TFontLoader&) = delete;
  TFontLoader& operator=(const TFontLoader&) = delete;
  virtual ~TFontLoader() = default;

  // A face, or null when this loader does not know the source.
  virtual Ref<TFontFace> LoadFont(const Url& source, int size, int style) = 0;

  TFontLoader* next = nullptr;
  bool linked = false;
};

// Puts the loader at the head of the list; one already in it stays where it is.
void AddFontLoader(TFontLoader& loader);

class TImageGlyph : public Object {
 public:
  Ref<TImage> GlyphImage() const { return image; }
  float Advance() const { return advance; }
  void GetRect(int& outX, int& outY, int& outWidth, int& outHeight) const;

  Ref<TImage> image;                        // null for an empty glyph
  float advance = 0;                        // pixels to move the pen
  int x = 0, y = 0, width = 0, height = 0;  // from the pen position
};

class TGlyphFont : public Object {
 public:
  int Style();
  int Height();
  int CountGlyphs();
  // Without a source: c - 32 for 32..127, else -1.
  int CharToGlyph(int c);
  // Made from the source on first use.
  Ref<TImageGlyph> LoadGlyph(int index);
  // The pen starts at (x, y) and moves along (ix, jx) by each glyph's
  // advance; characters without a glyph neither draw nor move it.
  void DrawText(const String& text, float x, float y, float ix, float iy, float jx, float jy);

  // Null when no loader knows the source.
  static Ref<TGlyphFont> Load(const Url& source, int size, int style);
  // The built-in font, from "kestrafont.bin".
  static Ref<TGlyphFont> CreateDefault();

  Ref<TFontFace> face;
  std::vector<Ref<TImageGlyph>> glyphs;
  int imageFlags = 0;
};

Ref<TGlyphFont> LoadGlyphFont(const Url& source, int size, int style);
// The shared built-in font, made on first need.
Ref<TGlyphFont> DefaultGlyphFont();
// In pixels, with the current glyph font.
int MeasureTextWidth(const String& text);
int MeasureTextHeight(const String& text);

namespace detail {
// The 96 glyphs (codes 32..127) of an embedded 8 x 16 font bitmap, white on
// transparent black, side by side from the left of an RGBA pixmap
// stripWidth (at least 768) x 16; the rest is transparent. The bitmap holds
// row r of glyph g in byte r * 96 + g, bit k for column k.
Ref<TPixmap> FontStrip(const char* embeddedName, int stripWidth);
}  // namespace detail
