#include "game/bitmap_font.h"

#include <algorithm>
#include <array>

#include "game/game_state.h"
#include "graphics/draw2d/draw_state.h"

namespace {

std::array<int, FONT_GLYPHS> glyphWidths{};
std::array<int, 10> digitWidths{};
int rankNumberWidth = 0;

// The column, counted from the left, of the rightmost pixel of the frame
// with any alpha; -1 for an empty frame.
int RightmostColumn(const Ref<TImage>& image, int frame, int columns, int rows) {
  const Ref<TPixmap> pixmap = LockImageFrame(image, frame, 1, 1);
  int found = -1;
  for (int x = columns - 1; x >= 0 && found < 0; --x) {
    for (int y = 0; y < rows; ++y) {
      if (static_cast<uint32_t>(ReadPixel(pixmap, x, y)) >> 24 != 0) {
        found = x;
        break;
      }
    }
  }
  UnlockImageFrame(image, frame);
  return found;
}

}  // namespace

int FontGlyphIndex(int character) {
  for (int g = 0; g < FONT_GLYPHS; ++g) {
    if (FONT_ALPHABET[g] == character) return g;
  }
  return FONT_SPACE;
}

int FontTextWidth(const String& text) {
  int width = 0;
  for (char16_t c : text.Chars()) width += glyphWidths[FontGlyphIndex(c)];
  return width;
}

void DrawFontText(const String& text, float x, float y, int centred, int raised) {
  if (centred) x -= static_cast<float>(FontTextWidth(text) / 2);
  if (raised) y -= 12;
  const Ref<TImage>& font = Game().images.font;
  for (char16_t c : text.Chars()) {
    const int g = FontGlyphIndex(c);
    DrawImageFrame(font, x, y, g);
    x += static_cast<float>(glyphWidths[g]);
  }
}

int DigitsWidth(const String& text) {
  int width = 0;
  for (char16_t c : text.Chars()) {
    if (c >= '0' && c <= '9') width += digitWidths[c - '0'];
  }
  return width;
}

void DrawDigits(const String& text, float x, float y, int r, int g, int b) {
  SetDrawColor(r, g, b);
  const Ref<TImage>& digits = Game().images.digits;
  for (char16_t c : text.Chars()) {
    if (c < '0' || c > '9') continue;
    DrawImageFrame(digits, x, y, c - '0');
    x += static_cast<float>(digitWidths[c - '0']);
  }
  SetDrawColor(255, 255, 255);
}

void MeasureFonts(const Ref<TImage>& font, const Ref<TImage>& digits) {
  for (int g = 0; g < FONT_GLYPHS; ++g) glyphWidths[g] = RightmostColumn(font, g, 32, 24) + 1;
  glyphWidths[FONT_SPACE] = FONT_SPACE_WIDTH;
  rankNumberWidth = FontTextWidth(String("10"));
  for (int d = 0; d < 10; ++d) digitWidths[d] = std::max(0, RightmostColumn(digits, d, 32, 32));
}

int GlyphWidth(int glyph) { return glyphWidths[glyph]; }
int RankNumberWidth() { return rankNumberWidth; }
