#pragma once
// How the game measures its bitmap font and score digits from their pixels,
// and lays text out with them.

#include <string_view>
#include <vector>

#include "pixmap/pixmap.h"

constexpr int FONT_CELL_WIDTH = 32;
constexpr int FONT_CELL_HEIGHT = 24;
constexpr int DIGIT_CELL = 32;
// The game's fixed width of the space, which has no pixels to measure.
constexpr int FONT_SPACE_WIDTH = 12;

// The rightmost column of the cell at (x, y) with any pixel whose alpha is not
// 0; -1 when there is none.
int RightmostInk(const TPixmap& sheet, int x, int y, int width, int height);

// Advances of the 40 font glyphs (rightmost column + 1, the space 12) and of
// the 10 digits (the rightmost column itself), as the game measures them.
std::vector<int> FontAdvances(const TPixmap& font);
std::vector<int> DigitAdvances(const TPixmap& digits);

// Glyph index of a character: its place in the font alphabet, the space for
// anything else.
int FontGlyph(char c);
int FontTextWidth(const std::vector<int>& advances, std::string_view text);
int DigitsWidth(const std::vector<int>& advances, std::string_view digits);
