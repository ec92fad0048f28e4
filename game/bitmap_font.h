#pragma once
// The game's own image fonts: a proportional 40-glyph font for messages and
// ten large digits for the score bar. Their advances are measured once from
// the pixels; the current drawing colour and alpha tint them.

#include "graphics/draw2d/image.h"
#include "runtime/string.h"

inline constexpr char FONT_ALPHABET[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ. -&";
constexpr int FONT_GLYPHS = 40;
constexpr int FONT_SPACE = 37;
constexpr int FONT_SPACE_WIDTH = 12;

// The position of the character in the font alphabet; the space for any
// other character. No case folding.
int FontGlyphIndex(int character);
int FontTextWidth(const String& text);
// Draws with the font image; centred moves left by half the width (the half
// truncated), raised moves 12 pixels up.
void DrawFontText(const String& text, float x, float y, int centred, int raised);
int DigitsWidth(const String& text);
// Draws a decimal digit string in the colour, then sets white.
void DrawDigits(const String& text, float x, float y, int r, int g, int b);

// Measures the font and the digits from their images (loaded already).
void MeasureFonts(const Ref<TImage>& font, const Ref<TImage>& digits);

int GlyphWidth(int glyph);
int RankNumberWidth();
