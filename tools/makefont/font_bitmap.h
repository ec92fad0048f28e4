#pragma once
// The engine's 8 x 16 font bitmaps and how they are rendered from an outline
// font.
//
// A bitmap holds 96 glyphs for the codes 32..127, one bit per pixel, row-major
// across glyphs: byte (row r, glyph g) is at r * 96 + g, and bit k of it is
// the pixel in column k, bit 0 leftmost.

#include <array>
#include <cstdint>
#include <span>
#include <string>

constexpr int FONT_FIRST_CHAR = 32;
constexpr int FONT_GLYPHS = 96;
constexpr int GLYPH_WIDTH = 8;
constexpr int GLYPH_HEIGHT = 16;
constexpr int FONT_BITMAP_BYTES = FONT_GLYPHS * GLYPH_HEIGHT;

using FontBitmap = std::array<uint8_t, FONT_BITMAP_BYTES>;
// One glyph's rows, top first; bit k is column k.
using GlyphRows = std::array<uint8_t, GLYPH_HEIGHT>;

// A hand-drawn glyph that replaces the rendered one where FreeType's is poor
// at this size. rows[i] is cell row firstRow + i: '#' is ink, anything else
// blank; missing columns and rows are blank.
struct GlyphOverride {
  int code;
  int firstRow;
  std::array<const char*, GLYPH_HEIGHT> rows;
};

// How one bitmap file is made.
struct FontRecipe {
  const char* output;    // file name in fonts/
  const char* fontFile;  // in the DejaVu folder
  // The pixel size asked of FreeType; a glyph too wide for its columns is
  // rendered again with a width one pixel smaller at a time.
  int pixelWidth;
  int pixelHeight;
  // The row just below the baseline: capitals end on the row above it.
  int baselineRow;
  std::span<const GlyphOverride> overrides;
};

// The recipes of the committed bitmaps, kestrafont.bin first.
std::span<const FontRecipe> FontRecipes();

// Renders the recipe's font, from the folder fontDir, hinted and monochrome.
// Every glyph but the underscore keeps column 0 blank, so that neighbours
// never touch, and every glyph keeps rows 0 and 15 blank, so that lines 16
// pixels apart never touch. Raises std::runtime_error when the font does not
// open, a glyph cannot be made to fit or a drawing is malformed or inks the
// gaps. The same FreeType and font give the same bytes every time.
FontBitmap RenderFont(const FontRecipe& recipe, const std::string& fontDir);

GlyphRows GetGlyph(const FontBitmap& bitmap, int glyph);
void SetGlyph(FontBitmap& bitmap, int glyph, const GlyphRows& rows);
// The rows of an override's drawing; raises std::runtime_error for a code
// outside 32..127 or a drawing that leaves the cell.
GlyphRows ParseGlyph(const GlyphOverride& drawing);
