// The bitmap font and the score digits: white glyphs with a thin dark outline,
// left-aligned in their cells, each carrying its own letter spacing as an
// invisible pixel where the game's measuring scan should stop.

#include <cmath>
#include <stdexcept>

#include "tools/makeart/glyph_metrics.h"
#include "tools/makeart/pictures.h"

namespace {

// Quantised alpha below this is dropped from a glyph (it could not be seen),
// so that nothing but the spacing pixel lies right of the visible ink.
constexpr int FAINTEST_INK = 4;
// The spacing pixel: alpha 1 of 255, invisible on the screen.
constexpr Colour SPACER = {1, 1, 1, 1.0f / 255};

struct CellStyle {
  int width, height;
  double ppem;     // hinted size
  int baseline;    // row of the baseline
  double outline;  // outline radius
  int gap;         // clear columns between a glyph's ink and the next glyph
  // The game takes the digits' advance to be the spacing column itself, and
  // the font's to be one more.
  bool advanceIsColumn;
  Colour bottom;  // the face runs from white at the top to this
};

const CellStyle FONT_STYLE = {FONT_CELL_WIDTH, FONT_CELL_HEIGHT, 22, 19, 1.15, 1,
                              false,           Hex(0xFFFFFF)};
const CellStyle DIGIT_STYLE = {DIGIT_CELL, DIGIT_CELL, 33, 28, 1.5, 1, true, Hex(0xDCDCDC)};

int Alpha(const Colour& c) { return int(std::lround(std::clamp(c.a, 0.0f, 1.0f) * 255)); }

Image PaintGlyph(const Typeface& typeface, char c, const CellStyle& style, double x) {
  Image image(style.width, style.height);
  const Path outline = typeface.Glyph(char32_t(static_cast<unsigned char>(c)), style.ppem, true)
                           .Transformed(Affine::Translate(x, style.baseline));
  const Mask face(outline, style.width, style.height);
  const Bounds extent = outline.Extent();
  // The outline is heavier below and to the right: a hint of a drop shadow.
  image.Paint(Mask(face).Add(face.Shifted(1, 1)).Dilated(style.outline), Hex(0x100C1C));
  image.Paint(face, [&](double, double y) {
    const float t = float(std::clamp((y - extent.top) / extent.Height(), 0.0, 1.0));
    return Mix(Hex(0xFFFFFF), style.bottom, t);
  });
  for (int py = 0; py < style.height; ++py) {
    for (int px = 0; px < style.width; ++px) {
      if (Alpha(image.At(px, py)) < FAINTEST_INK) image.Set(px, py, {0, 0, 0, 0});
    }
  }
  return image;
}

// Columns [left, right] of the visible ink; left > right when there is none.
std::pair<int, int> InkColumns(const Image& image) {
  int left = image.Width(), right = -1;
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      if (Alpha(image.At(x, y)) > 0) {
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
  }
  return {left, right};
}

Image GlyphCell(const Typeface& typeface, char c, const CellStyle& style) {
  Image image(style.width, style.height);
  if (c == ' ') return image;
  // Drawn once with room on the left, then again moved so that its first
  // visible column is the cell's first.
  const double margin = 4;
  const double left = typeface.Glyph(char32_t(c), style.ppem, true).Extent().left;
  const auto [firstInk, lastInk] = InkColumns(PaintGlyph(typeface, c, style, margin - left));
  image = PaintGlyph(typeface, c, style, margin - left - firstInk);
  const auto [newFirst, newLast] = InkColumns(image);
  if (newFirst != 0 || newLast != lastInk - firstInk) {
    throw std::runtime_error(std::string("glyph ") + c + " does not keep its shape when moved");
  }
  const int spacer = newLast + style.gap + (style.advanceIsColumn ? 1 : 0);
  if (spacer >= style.width) throw std::runtime_error(std::string("glyph ") + c + " is too wide");
  if (spacer > newLast) image.Set(spacer, style.baseline - style.height / 4, SPACER);
  return image;
}

}  // namespace

Ref<TPixmap> MakeDigits(const Typefaces& faces) {
  std::vector<Image> cells;
  for (char c = '0'; c <= '9'; ++c) cells.push_back(GlyphCell(faces.sans, c, DIGIT_STYLE));
  return JoinFrames(cells, 5);
}

Ref<TPixmap> MakeFont(const Typefaces& faces) {
  std::vector<Image> cells;
  for (const char* c = FONT_ALPHABET; *c; ++c)
    cells.push_back(GlyphCell(faces.sans, *c, FONT_STYLE));
  return JoinFrames(cells, 5);
}
