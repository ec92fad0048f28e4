// The font bitmap generator against the real FreeType and DejaVu fonts.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <bit>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "pixmap/png.h"
#include "stream/stream_factory.h"
#include "tests/support/temp_dir.h"
#include "tools/makefont/font_bitmap.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> Bytes(const FontBitmap& bitmap) { return {bitmap.begin(), bitmap.end()}; }

int RunMakeFont(const std::string& arguments) {
  const int status = std::system(
      (std::string("\"") + MAKEFONT_PROGRAM + "\" " + arguments + " 2>/dev/null").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const FontRecipe& Regular() { return FontRecipes()[0]; }

// Every glyph keeps column 0 (but the underscore) and rows 0 and 15 blank.
void ExpectGaps(const FontBitmap& bitmap) {
  for (int glyph = 0; glyph < FONT_GLYPHS; ++glyph) {
    const GlyphRows rows = GetGlyph(bitmap, glyph);
    EXPECT_EQ(rows[0] | rows[GLYPH_HEIGHT - 1], 0) << "glyph " << glyph;
    if (glyph + FONT_FIRST_CHAR == '_') continue;
    for (uint8_t row : rows) EXPECT_EQ(row & 1, 0) << "glyph " << glyph;
  }
}

TEST(MakeFontTest, RenderingIsRepeatableAndMatchesTheCommittedFiles) {
  ASSERT_EQ(FontRecipes().size(), 2u);
  for (const FontRecipe& recipe : FontRecipes()) {
    const FontBitmap first = RenderFont(recipe, ZORP_DEJAVU_DIR);
    const FontBitmap second = RenderFont(recipe, ZORP_DEJAVU_DIR);
    EXPECT_EQ(first, second) << recipe.output;
    EXPECT_EQ(Bytes(first), ReadFile(std::string(ZORP_FONTS_DIR) + "/" + recipe.output))
        << recipe.output << " differs from what makefont makes now; run makefont fonts";
  }
}

TEST(MakeFontTest, ProgramWritesTheBitmapsAndAPreview) {
  TempDir dir;
  ASSERT_EQ(RunMakeFont("--preview \"" + (dir / "preview.png") + "\" \"" + dir.path() + "\""), 0);
  for (const FontRecipe& recipe : FontRecipes()) {
    EXPECT_EQ(ReadFile(dir / recipe.output),
              ReadFile(std::string(ZORP_FONTS_DIR) + "/" + recipe.output));
  }
  StartPNG();
  const Ref<TStream> stream = OpenReadStream((dir / "preview.png").c_str());
  const Ref<TPixmap> preview = LoadPixmapPNG(stream);
  ASSERT_TRUE(preview);
  // Every pixel of every glyph shows at least as a 4 x 4 block in white.
  int inkPixels = 0;
  for (const FontRecipe& recipe : FontRecipes()) {
    for (uint8_t byte : ReadFile(dir / recipe.output)) inkPixels += std::popcount(byte);
  }
  int white = 0;
  for (int y = 0; y < preview->Height(); ++y) {
    for (int x = 0; x < preview->Width(); ++x) white += preview->ReadPixel(x, y) == int(0xFFFFFFFF);
  }
  EXPECT_GE(white, 16 * inkPixels);
  EXPECT_LT(white, preview->Width() * preview->Height() / 2);
}

TEST(MakeFontTest, ProgramWritesNothingOnBadArgumentsOrAMissingFont) {
  TempDir dir;
  EXPECT_EQ(RunMakeFont(""), 2);
  EXPECT_EQ(RunMakeFont("--unknown \"" + dir.path() + "\""), 2);
  EXPECT_EQ(RunMakeFont("\"" + dir.path() + "\" \"" + dir.path() + "\""), 2);
  EXPECT_EQ(RunMakeFont("--fonts \"" + (dir / "none") + "\" \"" + dir.path() + "\""), 1);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(MakeFontTest, DrawingsSetColumnBitsAndMustFitTheCell) {
  const GlyphRows rows = ParseGlyph({'x', 3, {"#......#", ".#", "..x#"}});
  EXPECT_EQ(rows[3], 0x81);
  EXPECT_EQ(rows[4], 0x02);
  EXPECT_EQ(rows[5], 0x08);
  EXPECT_EQ(rows[2] | rows[6], 0);
  EXPECT_THROW(ParseGlyph({31, 0, {"#"}}), std::runtime_error);
  EXPECT_THROW(ParseGlyph({128, 0, {"#"}}), std::runtime_error);
  EXPECT_THROW(ParseGlyph({'x', 15, {"", "#"}}), std::runtime_error);
  EXPECT_THROW(ParseGlyph({'x', -1, {"#"}}), std::runtime_error);
  EXPECT_THROW(ParseGlyph({'x', 2, {"#########"}}), std::runtime_error);
}

TEST(MakeFontTest, DrawingsThatInkTheGapsAreRefused) {
  const GlyphOverride leftColumn[] = {{'x', 4, {"#..#"}}};
  const GlyphOverride bottomRow[] = {{'x', 15, {".#"}}};
  const GlyphOverride wideUnderscore[] = {{'_', 14, {"########"}}};
  FontRecipe recipe = Regular();
  recipe.overrides = leftColumn;
  EXPECT_THROW(RenderFont(recipe, ZORP_DEJAVU_DIR), std::runtime_error);
  recipe.overrides = bottomRow;
  EXPECT_THROW(RenderFont(recipe, ZORP_DEJAVU_DIR), std::runtime_error);
  recipe.overrides = wideUnderscore;
  const FontBitmap bitmap = RenderFont(recipe, ZORP_DEJAVU_DIR);
  EXPECT_EQ(GetGlyph(bitmap, '_' - FONT_FIRST_CHAR)[14], 0xFF);
}

TEST(MakeFontTest, WideRenderingsAreNarrowedAndTallOnesRefused) {
  FontRecipe recipe = Regular();
  recipe.overrides = {};
  recipe.pixelWidth = 18;
  const FontBitmap narrowed = RenderFont(recipe, ZORP_DEJAVU_DIR);
  ExpectGaps(narrowed);
  for (int glyph = 1; glyph < FONT_GLYPHS - 1; ++glyph) {
    EXPECT_NE(GetGlyph(narrowed, glyph), GlyphRows{}) << "glyph " << glyph;
  }
  recipe = Regular();
  recipe.pixelHeight = 20;
  EXPECT_THROW(RenderFont(recipe, ZORP_DEJAVU_DIR), std::runtime_error);
  recipe = Regular();
  recipe.fontFile = "NoSuchFont.ttf";
  EXPECT_THROW(RenderFont(recipe, ZORP_DEJAVU_DIR), std::runtime_error);
}

}  // namespace
