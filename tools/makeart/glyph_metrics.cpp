#include "tools/makeart/glyph_metrics.h"

#include <string_view>

#include "tools/makeart/pictures.h"

namespace {

int CellsAcross(const TPixmap& sheet, int cellWidth) { return sheet.Width() / cellWidth; }

}  // namespace

int RightmostInk(const TPixmap& sheet, int x, int y, int width, int height) {
  for (int column = width - 1; column >= 0; --column) {
    for (int row = 0; row < height; ++row) {
      if (uint32_t(sheet.ReadPixel(x + column, y + row)) >> 24) return column;
    }
  }
  return -1;
}

std::vector<int> FontAdvances(const TPixmap& font) {
  std::vector<int> advances;
  const int across = CellsAcross(font, FONT_CELL_WIDTH);
  for (int g = 0; g < FONT_GLYPH_COUNT; ++g) {
    advances.push_back(RightmostInk(font, g % across * FONT_CELL_WIDTH,
                                    g / across * FONT_CELL_HEIGHT, FONT_CELL_WIDTH,
                                    FONT_CELL_HEIGHT) +
                       1);
  }
  advances[FONT_SPACE_GLYPH] = FONT_SPACE_WIDTH;
  return advances;
}

std::vector<int> DigitAdvances(const TPixmap& digits) {
  std::vector<int> advances;
  const int across = CellsAcross(digits, DIGIT_CELL);
  for (int d = 0; d < 10; ++d) {
    const int column = RightmostInk(digits, d % across * DIGIT_CELL, d / across * DIGIT_CELL,
                                    DIGIT_CELL, DIGIT_CELL);
    advances.push_back(column < 0 ? 0 : column);
  }
  return advances;
}

int FontGlyph(char c) {
  const size_t index = std::string_view(FONT_ALPHABET).find(c);
  return index == std::string_view::npos ? FONT_SPACE_GLYPH : int(index);
}

int FontTextWidth(const std::vector<int>& advances, std::string_view text) {
  int width = 0;
  for (char c : text) width += advances[FontGlyph(c)];
  return width;
}

int DigitsWidth(const std::vector<int>& advances, std::string_view digits) {
  int width = 0;
  for (char c : digits) width += advances[c - '0'];
  return width;
}
