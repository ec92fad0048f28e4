#include "tools/makefont/font_preview.h"

#include <algorithm>
#include <string_view>

namespace {

constexpr int MARGIN = 8;
constexpr int SHEET_SCALE = 4;
constexpr int SHEET_COLUMNS = 16;
constexpr int SHEET_ROWS = FONT_GLYPHS / SHEET_COLUMNS;
constexpr int CELL_WIDTH = GLYPH_WIDTH * SHEET_SCALE + 1;  // with its grid line
constexpr int CELL_HEIGHT = GLYPH_HEIGHT * SHEET_SCALE + 1;
constexpr int SHEET_WIDTH = SHEET_COLUMNS * CELL_WIDTH + 1;
constexpr int SHEET_HEIGHT = SHEET_ROWS * CELL_HEIGHT + 1;

constexpr int BACKGROUND = 0xFF101018;
constexpr int GRID = 0xFF505060;
constexpr int CELL = 0xFF202838;
// The rows below the baseline, so that descenders show.
constexpr int CELL_BELOW_BASELINE = 0xFF283048;
constexpr int INK = 0xFFFFFFFF;
constexpr int TITLE = 0xFFFFD040;

// Words that show the hard letters beside the easy ones, the look-alikes side
// by side, and every glyph once.
constexpr std::string_view SAMPLES[] = {
    "The quick brown fox jumps over the lazy dog.",
    "SPHINX OF BLACK QUARTZ, JUDGE MY VOW! 0123456789",
    "mmm www MMM WWW @%& #$ il1I| O0o Q gjpqy (x){y}[z]<>",
    "score: 12,480  lives: 3  \"Zorp\" eats 'em all ~ ^_^ `a` a+b=c; a-b*c/d\\e?",
};

void FillRect(TPixmap& pixmap, int x, int y, int width, int height, int argb) {
  for (int j = y; j < y + height; ++j) {
    for (int i = x; i < x + width; ++i) pixmap.WritePixel(i, j, argb);
  }
}

void DrawGlyph(TPixmap& pixmap, const GlyphRows& rows, int x, int y, int scale, int argb) {
  for (int r = 0; r < GLYPH_HEIGHT; ++r) {
    for (int k = 0; k < GLYPH_WIDTH; ++k) {
      if (rows[r] >> k & 1) FillRect(pixmap, x + k * scale, y + r * scale, scale, scale, argb);
    }
  }
}

void DrawText(TPixmap& pixmap, const FontBitmap& bitmap, std::string_view text, int x, int y,
              int scale, int argb) {
  for (char c : text) {
    const int glyph = static_cast<unsigned char>(c) - FONT_FIRST_CHAR;
    if (glyph >= 0 && glyph < FONT_GLYPHS) {
      DrawGlyph(pixmap, GetGlyph(bitmap, glyph), x, y, scale, argb);
    }
    x += GLYPH_WIDTH * scale;
  }
}

void DrawSheet(TPixmap& pixmap, const NamedFont& font, int x, int y) {
  FillRect(pixmap, x, y, SHEET_WIDTH, SHEET_HEIGHT, GRID);
  for (int glyph = 0; glyph < FONT_GLYPHS; ++glyph) {
    const int cellX = x + 1 + glyph % SHEET_COLUMNS * CELL_WIDTH;
    const int cellY = y + 1 + glyph / SHEET_COLUMNS * CELL_HEIGHT;
    const int above = font.baselineRow * SHEET_SCALE;
    FillRect(pixmap, cellX, cellY, CELL_WIDTH - 1, above, CELL);
    FillRect(pixmap, cellX, cellY + above, CELL_WIDTH - 1, CELL_HEIGHT - 1 - above,
             CELL_BELOW_BASELINE);
    DrawGlyph(pixmap, GetGlyph(font.bitmap, glyph), cellX, cellY, SHEET_SCALE, INK);
  }
}

std::string AllGlyphs() {
  std::string text;
  for (int code = FONT_FIRST_CHAR; code < FONT_FIRST_CHAR + FONT_GLYPHS; ++code) {
    text += char(code);
  }
  return text;
}

int SectionHeight() {
  const int samples = int(std::size(SAMPLES));
  return GLYPH_HEIGHT * 2 + MARGIN + SHEET_HEIGHT + MARGIN + samples * GLYPH_HEIGHT * 2 + MARGIN +
         (samples + 1) * GLYPH_HEIGHT + MARGIN * 2;
}

int SectionWidth() {
  size_t longest = AllGlyphs().size() / 2;
  for (std::string_view sample : SAMPLES) longest = std::max(longest, sample.size());
  return std::max(SHEET_WIDTH, int(longest) * GLYPH_WIDTH * 2);
}

void DrawSection(TPixmap& pixmap, const NamedFont& font, int y) {
  DrawText(pixmap, font.bitmap, font.name, MARGIN, y, 2, TITLE);
  y += GLYPH_HEIGHT * 2 + MARGIN;
  DrawSheet(pixmap, font, MARGIN, y);
  y += SHEET_HEIGHT + MARGIN;
  for (std::string_view sample : SAMPLES) {
    DrawText(pixmap, font.bitmap, sample, MARGIN, y, 2, INK);
    y += GLYPH_HEIGHT * 2;
  }
  y += MARGIN;
  // The true size, as it appears on the screen, lines 16 pixels apart.
  for (std::string_view sample : SAMPLES) {
    DrawText(pixmap, font.bitmap, sample, MARGIN, y, 1, INK);
    y += GLYPH_HEIGHT;
  }
  DrawText(pixmap, font.bitmap, AllGlyphs(), MARGIN, y, 1, INK);
}

}  // namespace

Ref<TPixmap> MakeFontPreview(std::span<const NamedFont> fonts) {
  const int width = SectionWidth() + 2 * MARGIN;
  const int height = std::max(1, int(fonts.size()) * SectionHeight()) + MARGIN;
  Ref<TPixmap> pixmap = TPixmap::Create(width, height, PIXFMT_RGB24);
  FillRect(*pixmap, 0, 0, width, height, BACKGROUND);
  int y = MARGIN;
  for (const NamedFont& font : fonts) {
    DrawSection(*pixmap, font, y);
    y += SectionHeight();
  }
  return pixmap;
}
