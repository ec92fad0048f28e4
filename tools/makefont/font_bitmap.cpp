#include "tools/makefont/font_bitmap.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_DRIVER_H
#include FT_MODULE_H

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace {

// Column 0 is the gap to the glyph on the left; rows 0 and 15 are the gap
// between lines.
constexpr int FIRST_INK_COLUMN = 1;
constexpr int FIRST_INK_ROW = 1;
constexpr int LAST_INK_ROW = GLYPH_HEIGHT - 2;
// Narrower than this a glyph is squeezed past recognition: better to fail
// and draw it by hand.
constexpr int NARROWEST_PIXEL_WIDTH = 10;

// Underscores join into one line, as in any text-mode font.
bool JoinsNeighbours(int code) { return code == '_'; }

std::string Describe(int code) { return "glyph '" + std::string(1, char(code)) + "'"; }

struct Library {
  FT_Library handle = nullptr;
  Library() {
    if (FT_Init_FreeType(&handle)) throw std::runtime_error("FreeType does not start");
    // The classic TrueType interpreter hints both directions, so stems land
    // on whole pixels across as well as down; the newer one leaves the
    // horizontal alone, which blurs 8-pixel-wide letters.
    FT_UInt version = TT_INTERPRETER_VERSION_35;
    if (FT_Property_Set(handle, "truetype", "interpreter-version", &version)) {
      throw std::runtime_error("FreeType lacks the version 35 TrueType interpreter");
    }
  }
  ~Library() { FT_Done_FreeType(handle); }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
};

struct Face {
  FT_Face handle = nullptr;
  Face(const Library& library, const std::string& path) {
    if (FT_New_Face(library.handle, path.c_str(), 0, &handle)) {
      throw std::runtime_error("cannot open the font " + path);
    }
  }
  ~Face() { FT_Done_Face(handle); }
  Face(const Face&) = delete;
  Face& operator=(const Face&) = delete;
};

// A glyph's ink in cell coordinates, before it is fitted into the cell.
struct Ink {
  std::vector<std::pair<int, int>> pixels;  // (column, row)
  int left = 0, right = -1, top = 0, bottom = -1;

  void Add(int column, int row) {
    if (pixels.empty()) {
      left = right = column;
      top = bottom = row;
    }
    pixels.emplace_back(column, row);
    left = std::min(left, column);
    right = std::max(right, column);
    top = std::min(top, row);
    bottom = std::max(bottom, row);
  }
};

// The glyph's monochrome rendering placed on the cell: its advance centred in
// the 8 columns and its baseline on the recipe's baseline row.
Ink Render(const Face& face, int code, int pixelWidth, const FontRecipe& recipe) {
  if (FT_Set_Pixel_Sizes(face.handle, pixelWidth, recipe.pixelHeight)) {
    throw std::runtime_error("the font has no size " + std::to_string(pixelWidth));
  }
  constexpr FT_Int32 flags = FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_NO_AUTOHINT;
  if (FT_Load_Char(face.handle, code, flags)) {
    throw std::runtime_error(Describe(code) + " does not render");
  }
  const FT_GlyphSlot slot = face.handle->glyph;
  const FT_Bitmap& bitmap = slot->bitmap;
  if (bitmap.rows > 0 && bitmap.pixel_mode != FT_PIXEL_MODE_MONO) {
    throw std::runtime_error(Describe(code) + " did not render in one bit per pixel");
  }
  const int advance = int((slot->advance.x + 32) >> 6);
  const int originColumn = (GLYPH_WIDTH - advance) / 2 + slot->bitmap_left;
  const int originRow = recipe.baselineRow - slot->bitmap_top;
  Ink ink;
  for (int y = 0; y < int(bitmap.rows); ++y) {
    const unsigned char* row = bitmap.buffer + y * bitmap.pitch;
    for (int x = 0; x < int(bitmap.width); ++x) {
      if (row[x / 8] & (0x80 >> (x % 8))) ink.Add(originColumn + x, originRow + y);
    }
  }
  return ink;
}

// Moves the ink the least distance into [first, last]; false when it is
// larger than that.
bool Shift(int low, int high, int first, int last, int& offset) {
  if (high - low > last - first) return false;
  offset = low < first ? first - low : high > last ? last - high : 0;
  return true;
}

// Whether a finished glyph leaves the gaps to its neighbours blank.
bool KeepsGaps(const GlyphRows& rows, int code) {
  const uint8_t gapColumns = JoinsNeighbours(code) ? 0 : uint8_t((1 << FIRST_INK_COLUMN) - 1);
  for (int r = 0; r < GLYPH_HEIGHT; ++r) {
    const bool gapRow = r < FIRST_INK_ROW || r > LAST_INK_ROW;
    if (rows[r] & (gapRow ? 0xFF : gapColumns)) return false;
  }
  return true;
}

std::optional<GlyphRows> Fit(const Ink& ink, int code) {
  const int firstColumn = JoinsNeighbours(code) ? 0 : FIRST_INK_COLUMN;
  int dx = 0, dy = 0;
  if (!Shift(ink.left, ink.right, firstColumn, GLYPH_WIDTH - 1, dx)) return std::nullopt;
  if (!Shift(ink.top, ink.bottom, FIRST_INK_ROW, LAST_INK_ROW, dy)) {
    throw std::runtime_error(Describe(code) + " is too tall for the cell");
  }
  GlyphRows rows{};
  for (auto [column, row] : ink.pixels) rows[row + dy] |= uint8_t(1 << (column + dx));
  return rows;
}

GlyphRows MakeGlyph(const Face& face, int code, const FontRecipe& recipe) {
  for (int width = recipe.pixelWidth; width >= NARROWEST_PIXEL_WIDTH; --width) {
    const Ink ink = Render(face, code, width, recipe);
    if (ink.pixels.empty()) throw std::runtime_error(Describe(code) + " has no ink");
    if (auto rows = Fit(ink, code)) return *rows;
  }
  throw std::runtime_error(Describe(code) + " is too wide even when narrowed");
}

}  // namespace

GlyphRows GetGlyph(const FontBitmap& bitmap, int glyph) {
  GlyphRows rows{};
  for (int r = 0; r < GLYPH_HEIGHT; ++r) rows[r] = bitmap[r * FONT_GLYPHS + glyph];
  return rows;
}

void SetGlyph(FontBitmap& bitmap, int glyph, const GlyphRows& rows) {
  for (int r = 0; r < GLYPH_HEIGHT; ++r) bitmap[r * FONT_GLYPHS + glyph] = rows[r];
}

GlyphRows ParseGlyph(const GlyphOverride& drawing) {
  if (drawing.code < FONT_FIRST_CHAR || drawing.code >= FONT_FIRST_CHAR + FONT_GLYPHS) {
    throw std::runtime_error("a drawing for code " + std::to_string(drawing.code) +
                             ", outside the font");
  }
  GlyphRows rows{};
  for (int i = 0; i < GLYPH_HEIGHT && drawing.rows[i]; ++i) {
    const std::string_view text = drawing.rows[i];
    const int row = drawing.firstRow + i;
    if (row < 0 || row >= GLYPH_HEIGHT || text.size() > GLYPH_WIDTH) {
      throw std::runtime_error("the drawing of " + Describe(drawing.code) +
                               " does not fit in the cell");
    }
    for (size_t k = 0; k < text.size(); ++k) {
      if (text[k] == '#') rows[row] |= uint8_t(1 << k);
    }
  }
  return rows;
}

FontBitmap RenderFont(const FontRecipe& recipe, const std::string& fontDir) {
  const Library library;
  const Face face(library, fontDir + "/" + recipe.fontFile);
  FontBitmap bitmap{};
  // The space stays empty; 127 has no glyph in the font and comes from the
  // overrides.
  for (int code = FONT_FIRST_CHAR + 1; code < FONT_FIRST_CHAR + FONT_GLYPHS - 1; ++code) {
    SetGlyph(bitmap, code - FONT_FIRST_CHAR, MakeGlyph(face, code, recipe));
  }
  for (const GlyphOverride& drawing : recipe.overrides) {
    const GlyphRows rows = ParseGlyph(drawing);
    if (!KeepsGaps(rows, drawing.code)) {
      throw std::runtime_error("the drawing of " + Describe(drawing.code) +
                               " inks the gap to its neighbours");
    }
    SetGlyph(bitmap, drawing.code - FONT_FIRST_CHAR, rows);
  }
  return bitmap;
}
